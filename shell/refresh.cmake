# The refresh pass and the timers that start it: they bring retrieval, settings and the
# presentation together, so they live beside MainForm.
if(NOT (TARGET corvella_http AND TARGET corvella_feed AND TARGET corvella_settings AND TARGET corvella_catalogue))
  return()
endif()

corvella_library(corvella_refresh
  SOURCES shell/refresh_pass.cpp shell/refresh_timers.cpp shell/wake_refresh.cpp shell/connectivity.cpp
  DEPS corvella_feed corvella_http corvella_settings corvella_catalogue corvella_common)

# Whole passes run against the scripted loopback server of the HTTP tests.
corvella_test(refresh_tests
  SOURCES tests/shell/refresh_timers_test.cpp tests/shell/refresh_pass_test.cpp tests/shell/wake_refresh_test.cpp
  DEPS corvella_refresh scripted_server)

# corvella-cli's pass against feedsim, both native tools.
if(NOT WIN32 AND NOT CORVELLA_FUZZ)
  corvella_test(refresh_cli_tests NATIVE_ONLY
    SOURCES tests/shell/refresh_cli_test.cpp
    DEPS corvella_feedsim_model corvella_servers)
  if(TARGET refresh_cli_tests)
    target_compile_definitions(refresh_cli_tests PRIVATE
      FEEDSIM_PATH="$<TARGET_FILE:feedsim>" CORVELLA_CLI_PATH="$<TARGET_FILE:corvella-cli>")
    add_dependencies(refresh_cli_tests feedsim corvella-cli)
  endif()
endif()
