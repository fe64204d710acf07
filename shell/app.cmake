# The Windows program itself, its adapter tests and the end-to-end smoke test.
if(NOT WIN32 OR CORVELLA_FUZZ)
  return()
endif()

corvella_library(corvella_app_win32
  SOURCES shell/main_form_win32.cpp shell/single_instance_win32.cpp shell/error_box_win32.cpp
          shell/file_version_win32.cpp
  DEPS corvella_presentation_win32 corvella_refresh corvella_settings corvella_catalogue corvella_feed
       corvella_http corvella_common version ole32 comctl32 user32 wininet)

add_executable(corvella WIN32 shell/winmain_win32.cpp data/corvella.rc)
target_link_libraries(corvella PRIVATE corvella_app_win32)
target_link_options(corvella PRIVATE -municode)
corvella_warnings(corvella)

corvella_runtime_path(exe_path "${CMAKE_BINARY_DIR}/corvella.exe")
corvella_test(app_win32_tests WINDOWS_ONLY
  SOURCES tests/win32/single_instance_win32_test.cpp tests/win32/app_resources_win32_test.cpp
  DEPS corvella_app_win32)
if(TARGET app_win32_tests)
  target_compile_definitions(app_win32_tests PRIVATE CORVELLA_EXE_PATH=L"${exe_path}")
  add_dependencies(app_win32_tests corvella)
endif()

# A small Windows helper that drives a running corvella.exe the way a user would.
add_executable(corvella-probe tests/e2e/probe_win32.cpp)
target_link_libraries(corvella-probe PRIVATE corvella_common user32)
target_link_options(corvella-probe PRIVATE -municode)
corvella_warnings(corvella-probe)

if(CORVELLA_TESTS)
  add_test(NAME smoke_e2e
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/smoke.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(smoke_e2e PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 300 LABELS wine
                                            RUN_SERIAL TRUE RESOURCE_LOCK hkcu_velmar)
endif()

if(CORVELLA_TESTS)
  add_test(NAME corvella_system_imports
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/system_imports.sh $<TARGET_FILE:corvella>)
  set_tests_properties(corvella_system_imports PROPERTIES LABELS wine)
endif()

# The desktop widget as a user meets it: first forecast, dragging, its menu items, rain.
add_executable(widget-probe tests/e2e/widget_probe_win32.cpp)
target_link_libraries(widget-probe PRIVATE user32)
target_link_options(widget-probe PRIVATE -municode)
corvella_warnings(widget-probe)
if(CORVELLA_TESTS)
  add_test(NAME widget_e2e COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/widget.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(widget_e2e PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 240 LABELS wine
                                             RUN_SERIAL TRUE RESOURCE_LOCK hkcu_velmar SKIP_RETURN_CODE 77)
endif()

# The widget's composition with the pictures linked into corvella.exe.
corvella_test(widget_win32_tests WINDOWS_ONLY
  SOURCES tests/presentation/widget_window_win32_test.cpp
  DEPS corvella_presentation_win32 psapi)
if(TARGET widget_win32_tests)
  target_compile_definitions(widget_win32_tests PRIVATE CORVELLA_EXE_PATH=L"${exe_path}")
  add_dependencies(widget_win32_tests corvella)
endif()
