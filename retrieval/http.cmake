# The program's HTTP client and its socket layer.
set(corvella_http_win32_libs)
if(WIN32)
  set(corvella_http_win32_libs ws2_32)
endif()

corvella_library(corvella_http
  SOURCES
    retrieval/http_client.cpp
    retrieval/http_connection.cpp
    retrieval/http_reader.cpp
    retrieval/http_request.cpp
    retrieval/http_response.cpp
    retrieval/http_date.cpp
    retrieval/cookie_jar.cpp
    retrieval/url.cpp
    retrieval/socket_error.cpp
    retrieval/socket_wait.cpp
  WIN32_SOURCES retrieval/socket_win32.cpp
  POSIX_SOURCES retrieval/socket_posix.cpp
  DEPS corvella_common Threads::Threads ${corvella_http_win32_libs})

if(CORVELLA_TESTS OR CORVELLA_BENCHMARKS)
  # A loopback server that answers with exact bytes; other modules' tests use it too.
  corvella_library(scripted_server
    SOURCES tests/retrieval/support/scripted_server.cpp
    DEPS corvella_http)
endif()

corvella_test(http_tests
  SOURCES tests/retrieval/http_parsing_test.cpp tests/retrieval/http_client_test.cpp
  DEPS corvella_http scripted_server)

corvella_test(message_wait_win32_tests WINDOWS_ONLY
  SOURCES tests/win32/message_wait_win32_test.cpp
  DEPS corvella_http scripted_server)

foreach(fuzz head chunk url date cookie)
  corvella_fuzz(http_${fuzz} SOURCE tests/fuzz/http_${fuzz}_fuzz.cpp DEPS corvella_http)
endforeach()

if(CORVELLA_BENCHMARKS)
  find_package(CURL QUIET)
  if(CURL_FOUND)
    corvella_benchmark(http_bench SOURCES bench/http_bench.cpp
      DEPS corvella_http scripted_server CURL::libcurl)
  endif()
endif()
