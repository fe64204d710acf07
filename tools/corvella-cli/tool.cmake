# corvella-cli: a console tool on the program's own code, one sub-command per job.
corvella_tool(corvella-cli
  SOURCES tools/corvella-cli/main.cpp tools/corvella-cli/http_commands.cpp tools/corvella-cli/pass_command.cpp
          tools/corvella-cli/forecast_command.cpp
  DEPS corvella_http corvella_refresh corvella_presentation)

# The README's Waybar module, run against feedsim.
if(TARGET corvella-cli AND NOT WIN32 AND CORVELLA_TESTS)
  add_test(NAME waybar_module
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/waybar.sh $<TARGET_FILE:corvella-cli> $<TARGET_FILE:feedsim>)
  set_tests_properties(waybar_module PROPERTIES LABELS native TIMEOUT 60)
endif()

# The same tool for Windows, so that a pass can meet a real proxy through Winsock under Wine.
if(WIN32 AND NOT CORVELLA_FUZZ)
  add_executable(corvella-cli
    tools/corvella-cli/main.cpp tools/corvella-cli/http_commands.cpp tools/corvella-cli/pass_command.cpp
    tools/corvella-cli/forecast_command.cpp tools/corvella-cli/catalogue.rc)
  set_source_files_properties(tools/corvella-cli/catalogue.rc PROPERTIES
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/data/locations.txt)
  target_link_libraries(corvella-cli PRIVATE corvella_http corvella_refresh corvella_presentation)
  corvella_warnings(corvella-cli)
endif()
