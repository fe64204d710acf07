# corvella-gateway: the servers' side, a Linux service built on Debian's libraries. Native
# builds only (not the Windows or fuzz builds); a missing library stops the configuration.
if(WIN32 AND CORVELLA_TESTS AND TARGET corvella-probe)
  # corvella.exe under Wine through the native gateway (skipped when that is not built).
  corvella_wine_journey(gateway_e2e SCRIPT gateway_journey.sh TIMEOUT 180 SKIPPABLE)
endif()
if(WIN32)
  return()
endif()

set(corvella_gateway_missing)
find_package(CURL QUIET)
find_package(LibXml2 QUIET)
find_package(SQLite3 QUIET)
find_package(nlohmann_json 3 QUIET)
find_package(Boost 1.74 QUIET)
find_package(OpenSSL QUIET)
foreach(pkg CURL:libcurl4-openssl-dev OpenSSL:libssl-dev LibXml2:libxml2-dev SQLite3:libsqlite3-dev
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
  SOURCES gateway/weather_words.cpp gateway/place_forecast.cpp gateway/feed_document.cpp gateway/call_budget.cpp
          gateway/bank_rates.cpp gateway/rate_history.cpp gateway/place_catalogue.cpp gateway/place_matching.cpp
          gateway/forecast_scheduler.cpp
  DEPS corvella_common nlohmann_json::nlohmann_json LibXml2::LibXml2)

# The documents made from what the sources send, on any bytes (replayed in the other builds).
corvella_fuzz(gateway_forecast SOURCE tests/fuzz/gateway_forecast_fuzz.cpp DEPS corvella_gateway_core corvella_feed_text)
corvella_fuzz(gateway_rates SOURCE tests/fuzz/gateway_rates_fuzz.cpp DEPS corvella_gateway_core corvella_feed_text)
if(CORVELLA_FUZZ)
  return()
endif()

corvella_test(gateway_core_tests
  SOURCES tests/gateway/feed_document_test.cpp tests/gateway/rates_page_test.cpp
          tests/gateway/scheduler_test.cpp
  DEPS corvella_gateway_core corvella_feed_text)

# The adapters: upstream clients, the geocode store, the services and the HTTP front.
corvella_library(corvella_gateway_service
  SOURCES gateway/upstream_curl.cpp gateway/geocode_store.cpp gateway/rate_series_store.cpp
          gateway/geocoder.cpp gateway/metrics.cpp gateway/forecast_service.cpp
          gateway/rates_service.cpp gateway/routing.cpp gateway/admission.cpp gateway/release_folder.cpp
          gateway/http_front.cpp
  DEPS corvella_gateway_core corvella_servers CURL::libcurl SQLite::SQLite3 Boost::boost OpenSSL::Crypto
       Threads::Threads)

# Which document or refusal each request gets, and whom it is counted for.
corvella_test(gateway_front_tests SOURCES tests/gateway/routing_test.cpp DEPS corvella_gateway_service)

add_executable(corvella-gateway gateway/main.cpp)
target_link_libraries(corvella-gateway PRIVATE corvella_gateway_service corvella_servers)
target_compile_definitions(corvella-gateway PRIVATE CORVELLA_GATEWAY_CATALOGUE="${CORVELLA_GATEWAY_CATALOGUE}")
corvella_warnings(corvella-gateway)

# The service against stand-in upstreams over HTTPS, and the client's own pass through it.
if(CORVELLA_TESTS)
  find_program(CORVELLA_PYTHON3 python3 REQUIRED)
  set(corvella_gateway_test ${PROJECT_SOURCE_DIR}/tests/gateway/gateway_test.py)
  set(corvella_gateway_hosts FEED_HOST=${CORVELLA_FEED_HOST} RATES_HOST=${CORVELLA_RATES_HOST})
  add_test(NAME gateway_faults
           COMMAND ${CMAKE_COMMAND} -E env ${corvella_gateway_hosts}
                   ${CORVELLA_PYTHON3} ${corvella_gateway_test} faults $<TARGET_FILE:corvella-gateway>)
  set_tests_properties(gateway_faults PROPERTIES TIMEOUT 180 LABELS native)
  # deploy/'s nginx site, checked and run by the real nginx as this user.
  add_test(NAME gateway_nginx_site
           COMMAND ${CMAKE_COMMAND} -E env ${corvella_gateway_hosts}
                   ${CORVELLA_PYTHON3} ${corvella_gateway_test} nginx $<TARGET_FILE:corvella-gateway>)
  set_tests_properties(gateway_nginx_site PROPERTIES TIMEOUT 120 LABELS "native;interop")
  # Budget fairness, trusted proxies, deadlines, the update file, foreign hosts, lax framing.
  add_test(NAME gateway_hostile
           COMMAND ${CMAKE_COMMAND} -E env ${corvella_gateway_hosts}
                   ${CORVELLA_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/gateway/hostile_test.py hostile
                   $<TARGET_FILE:corvella-gateway>)
  set_tests_properties(gateway_hostile PROPERTIES TIMEOUT 120 LABELS "native;interop")
  # The call budget at its edges, and what an operator meets: hold-offs, a damaged store, signals,
  # publishing a release.
  foreach(group budget operator publish)
    add_test(NAME gateway_hostile_${group}
             COMMAND ${CMAKE_COMMAND} -E env ${corvella_gateway_hosts}
                     ${CORVELLA_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/gateway/hostile_test.py ${group}
                     $<TARGET_FILE:corvella-gateway>)
    set_tests_properties(gateway_hostile_${group} PROPERTIES TIMEOUT 90 LABELS "native;interop")
  endforeach()
  if(TARGET corvella-cli)
    add_test(NAME gateway_client_pass
             COMMAND ${CMAKE_COMMAND} -E env ${corvella_gateway_hosts}
                     ${CORVELLA_PYTHON3} ${corvella_gateway_test} e2e $<TARGET_FILE:corvella-gateway>
                     $<TARGET_FILE:corvella-cli>)
    set_tests_properties(gateway_client_pass PROPERTIES TIMEOUT 120 LABELS native)
  endif()
endif()

# Upstream calls over a simulated day (bench/gateway_wrk.sh measures the front).
corvella_benchmark(gateway_day_bench SOURCES bench/gateway_day_bench.cpp DEPS corvella_gateway_core)
# A newcomer's allowance when the table of clients is full.
corvella_benchmark(gateway_admission_bench SOURCES bench/admission_bench.cpp DEPS corvella_gateway_service)
