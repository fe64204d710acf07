# Forecast, currency rates and the update check, over the HTTP client.

# The outside servers' host names, for every target that includes retrieval/servers.h.
add_library(corvella_servers INTERFACE)
target_compile_definitions(corvella_servers INTERFACE
  CORVELLA_FEED_HOST="${CORVELLA_FEED_HOST}"
  CORVELLA_RATES_HOST="${CORVELLA_RATES_HOST}"
  CORVELLA_SITE_HOST="${CORVELLA_SITE_HOST}")

# The pure text work (decoding and extraction) needs no client: the fuzz targets take it alone.
corvella_library(corvella_feed_text
  SOURCES retrieval/weather_feed.cpp retrieval/currency_rates.cpp retrieval/rate_details.cpp
          retrieval/forecast_blocks.cpp
  DEPS corvella_common corvella_servers)

corvella_library(corvella_feed
  SOURCES retrieval/weather_feed_request.cpp retrieval/version_check.cpp
  WIN32_SOURCES retrieval/own_file_date_win32.cpp
  POSIX_SOURCES retrieval/own_file_date_posix.cpp
  DEPS corvella_feed_text corvella_common corvella_http corvella_servers)

corvella_test(feed_tests
  SOURCES tests/retrieval/feed_extraction_test.cpp tests/retrieval/feed_decoding_test.cpp
          tests/retrieval/forecast_reading_test.cpp
          tests/retrieval/rates_test.cpp
  DEPS corvella_feed_text)

# The same extraction tests over documents whose hours and days also carry feels-like, wind,
# pressure, humidity and precipitation: the program reads from them what it read before.
corvella_test(feed_extended_tests PREFIX "extended."
  SOURCES tests/retrieval/feed_extraction_test.cpp
  DEPS corvella_feed_text)
if(TARGET feed_extended_tests)
  target_compile_definitions(feed_extended_tests PRIVATE CORVELLA_FEED_EXTENDED)
endif()

# The client against feedsim, a native tool: what the extraction yields is what it served.
corvella_test(feed_feedsim_tests NATIVE_ONLY
  SOURCES tests/retrieval/feed_feedsim_test.cpp
  DEPS corvella_feed corvella_feedsim_model)
if(TARGET feed_feedsim_tests)
  target_compile_definitions(feed_feedsim_tests PRIVATE FEEDSIM_PATH="$<TARGET_FILE:feedsim>")
  add_dependencies(feed_feedsim_tests feedsim)
endif()

if(TARGET scripted_server)
  corvella_test(version_tests
    SOURCES tests/retrieval/version_check_test.cpp
    DEPS corvella_feed scripted_server)
endif()

corvella_test(version_file_date_tests NATIVE_ONLY
  SOURCES tests/retrieval/version_file_date_posix_test.cpp
  DEPS corvella_feed)
corvella_test(version_file_date_win32_tests WINDOWS_ONLY
  SOURCES tests/retrieval/version_file_date_win32_test.cpp
  DEPS corvella_feed)

# Fuzz targets; elsewhere their committed corpora are replayed as tests.
corvella_fuzz(feed_decode SOURCE tests/fuzz/feed_decode_fuzz.cpp DEPS corvella_feed_text)
corvella_fuzz(rates_decode SOURCE tests/fuzz/rates_decode_fuzz.cpp DEPS corvella_feed_text)
corvella_fuzz(feed_extract SOURCE tests/fuzz/feed_extract_fuzz.cpp DEPS corvella_feed_text)
corvella_fuzz(rates_extract SOURCE tests/fuzz/rates_extract_fuzz.cpp DEPS corvella_feed_text)

# Our decoders side by side with iconv, on documents as feedsim serves them.
corvella_benchmark(decode_bench
  SOURCES bench/decode_bench.cpp
  DEPS corvella_feed corvella_feedsim_model)
