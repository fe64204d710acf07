# corvella-cli: a console tool on the program's own code, one sub-command per job.
corvella_tool(corvella-cli
  SOURCES tools/corvella-cli/main.cpp tools/corvella-cli/http_commands.cpp tools/corvella-cli/pass_command.cpp
  DEPS corvella_http corvella_refresh)

# The README's Waybar module, run against feedsim.
if(TARGET corvella-cli AND CORVELLA_TESTS)
  add_test(NAME waybar_module
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/waybar.sh $<TARGET_FILE:corvella-cli> $<TARGET_FILE:feedsim>)
  set_tests_properties(waybar_module PROPERTIES LABELS native TIMEOUT 60)
endif()
