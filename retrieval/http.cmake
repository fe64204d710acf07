# The program's HTTP client and its socket layer.
set(corvella_http_win32_libs)
if(WIN32)
  set(corvella_http_win32_libs ws2_32)
endif()

corvella_library(corvella_http
  SOURCES
    retrieval/http_client.cpp
  DEPS corvella_common Threads::Threads ${corvella_http_win32_libs})
