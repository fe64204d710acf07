# The refresh pass and the timers that start it.
if(NOT (TARGET corvella_http AND TARGET corvella_feed AND TARGET corvella_settings AND TARGET corvella_catalogue))
  return()
endif()

corvella_library(corvella_refresh
  SOURCES retrieval/refresh_pass.cpp retrieval/refresh_timers.cpp
  DEPS corvella_feed corvella_http corvella_settings corvella_catalogue corvella_common)

# Whole passes run against the scripted loopback server of the HTTP tests.
corvella_test(refresh_tests
  SOURCES tests/retrieval/refresh_timers_test.cpp tests/retrieval/refresh_pass_test.cpp
  DEPS corvella_refresh scripted_server)
