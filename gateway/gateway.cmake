# corvella-gateway: the servers' side, a Linux service built on Debian's libraries. Native
# builds only (not the Windows or fuzz builds); a missing library stops the configuration.
if(WIN32 OR CORVELLA_FUZZ)
  return()
endif()

set(corvella_gateway_missing)
find_package(CURL QUIET)
find_package(LibXml2 QUIET)
find_package(SQLite3 QUIET)
find_package(nlohmann_json 3 QUIET)
find_package(Boost 1.74 QUIET)
foreach(pkg CURL:libcurl4-openssl-dev LibXml2:libxml2-dev SQLite3:libsqlite3-dev
            nlohmann_json:nlohmann-json3-dev Boost:libboost-dev)
  string(REPLACE ":" ";" pair ${pkg})
  list(GET pair 0 name)
  list(GET pair 1 deb)
  if(NOT ${name}_FOUND)
    list(APPEND corvella_gateway_missing ${deb})
  endif()
endforeach()
if(corvella_gateway_missing)
  message(FATAL_ERROR "corvella-gateway needs: ${corvella_gateway_missing} (run tools/ci/install-deps.sh)")
endif()

set(CORVELLA_GATEWAY_CATALOGUE "${PROJECT_SOURCE_DIR}/data/locations.txt"
    CACHE STRING "The location catalogue corvella-gateway reads unless told otherwise")

# What decides, with no network: documents, matching, scheduling.
corvella_library(corvella_gateway_core
  SOURCES gateway/weather_words.cpp gateway/place_forecast.cpp gateway/feed_document.cpp
          gateway/bank_rates.cpp gateway/place_catalogue.cpp gateway/place_matching.cpp
          gateway/forecast_scheduler.cpp
  DEPS corvella_common nlohmann_json::nlohmann_json LibXml2::LibXml2)

corvella_test(gateway_core_tests
  SOURCES tests/gateway/feed_document_test.cpp tests/gateway/rates_page_test.cpp
          tests/gateway/scheduler_test.cpp
  DEPS corvella_gateway_core corvella_feed_text)

include(${CMAKE_CURRENT_LIST_DIR}/service.cmake OPTIONAL)
