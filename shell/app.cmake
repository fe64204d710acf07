# The Windows program itself, its adapter tests and the end-to-end smoke test.
if(NOT WIN32 OR CORVELLA_FUZZ)
  return()
endif()

corvella_library(corvella_app_win32
  SOURCES shell/main_form_win32.cpp shell/single_instance_win32.cpp shell/error_box_win32.cpp
          shell/file_version_win32.cpp shell/settings_dialog_win32.cpp shell/settings_dialog_paint_win32.cpp
          shell/live_counts_win32.cpp
          shell/power_notify_win32.cpp shell/online_check_win32.cpp
  DEPS corvella_dialog_layout corvella_presentation_win32 corvella_refresh corvella_settings corvella_catalogue corvella_feed
       corvella_http corvella_common shell32 user32 psapi uuid)

# Windows refuses to start a program whose manifest's version lacks one of its four parts (each
# at most 65535), with nothing but a side-by-side error.
if(NOT PROJECT_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "The program's version ${PROJECT_VERSION} needs four parts for its manifest")
endif()
foreach(part ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
  if(part GREATER 65535)
    message(FATAL_ERROR "The program's version ${PROJECT_VERSION} has a part above 65535")
  endif()
endforeach()
# The version resource and the manifest carry project()'s version; the resource compiler finds
# both generated files through the include path.
set(corvella_rc_dir "${CMAKE_BINARY_DIR}/generated/rc")
configure_file(data/version.rc.h.in "${corvella_rc_dir}/version.rc.h" @ONLY)
configure_file(data/corvella.manifest.in "${corvella_rc_dir}/corvella.manifest" @ONLY)
add_executable(corvella WIN32 shell/winmain_win32.cpp data/corvella.rc)
target_include_directories(corvella PRIVATE "${corvella_rc_dir}" "${corvella_catalogue_rows_dir}")
target_sources(corvella PRIVATE "${corvella_catalogue_rows}")
set_property(SOURCE data/corvella.rc APPEND PROPERTY OBJECT_DEPENDS
             "${corvella_rc_dir}/version.rc.h" "${corvella_rc_dir}/corvella.manifest")
# The resource compiler names no dependencies: a picture rendered again must still reach the program.
file(GLOB corvella_rc_pictures CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/data/*.ico" "${PROJECT_SOURCE_DIR}/data/*.bmp"
     "${PROJECT_SOURCE_DIR}/data/tray/*.ico" "${PROJECT_SOURCE_DIR}/data/widget/*.png")
set_property(SOURCE data/corvella.rc APPEND PROPERTY OBJECT_DEPENDS ${corvella_rc_pictures})
target_link_libraries(corvella PRIVATE corvella_app_win32)
# Sections at page boundaries in the file too: the loader can then map the image instead of
# reading all of it, the catalogue resource included, into private memory.
target_link_options(corvella PRIVATE -municode -Wl,--file-alignment=4096)
corvella_warnings(corvella)

corvella_runtime_path(exe_path "${CMAKE_BINARY_DIR}/corvella.exe")
corvella_test(app_win32_tests WINDOWS_ONLY
  SOURCES tests/win32/single_instance_win32_test.cpp tests/win32/app_resources_win32_test.cpp
          tests/win32/settings_dialog_win32_test.cpp tests/win32/file_version_win32_test.cpp
          tests/win32/power_and_network_win32_test.cpp
  DEPS corvella_app_win32 ole32 version)
if(TARGET app_win32_tests)
  # Small modules whose version resources ReadFileVersion is tried on.
  set(fixtures_dir "${CMAKE_BINARY_DIR}/version-fixtures")
  foreach(fixture russian neutral short none)
    set(rc "${PROJECT_SOURCE_DIR}/tests/win32/version_fixtures/${fixture}.rc")
    if(NOT EXISTS "${rc}")
      set(rc "")
    endif()
    add_library(version_fixture_${fixture} MODULE tests/win32/version_fixtures/empty.cpp ${rc})
    set_target_properties(version_fixture_${fixture} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY "${fixtures_dir}")
    add_dependencies(app_win32_tests version_fixture_${fixture})
  endforeach()
  corvella_runtime_path(fixtures_runtime "${fixtures_dir}")
  target_compile_definitions(app_win32_tests PRIVATE CORVELLA_EXE_PATH=L"${exe_path}"
                                                     CORVELLA_VERSION_FIXTURES=L"${fixtures_runtime}")
  add_dependencies(app_win32_tests corvella)
endif()

# A small Windows helper that drives a running corvella.exe the way a user would.
add_executable(corvella-probe tests/e2e/probe_win32.cpp)
target_link_libraries(corvella-probe PRIVATE corvella_presentation_win32 corvella_common user32 shell32 psapi oleacc
                                             oleaut32 ole32)
target_link_options(corvella-probe PRIVATE -municode)
corvella_warnings(corvella-probe)

# The floor of the memory and start-up benchmark (bench/memory_startup.sh): a
# program that only adds a tray icon. Built only when the benchmark asks for it.
add_executable(minimal-tray WIN32 EXCLUDE_FROM_ALL bench/minimal_tray_win32.cpp)
target_link_libraries(minimal-tray PRIVATE user32 shell32)
target_link_options(minimal-tray PRIVATE -municode)
corvella_warnings(minimal-tray)

corvella_wine_journey(smoke_e2e SCRIPT smoke.sh TIMEOUT 300)
# The short form of the long run (1,000 passes: tests/e2e/long_run.sh BUILD_DIR).
corvella_wine_journey(long_run_e2e SCRIPT long_run.sh ARGS 600 100 TIMEOUT 180)
corvella_wine_journey(busy_pass_e2e SCRIPT busy_pass.sh TIMEOUT 120)
corvella_wine_journey(tray_e2e SCRIPT tray.sh SKIPPABLE)

if(CORVELLA_TESTS)
  add_test(NAME corvella_system_imports
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/system_imports.sh $<TARGET_FILE:corvella> ${PROJECT_SOURCE_DIR})
  set_tests_properties(corvella_system_imports PROPERTIES LABELS wine)
endif()

corvella_wine_journey(dialog_e2e SCRIPT dialog.sh)
# The same journey with every position, size and font at 144 DPI.
corvella_wine_journey(dialog_e2e_144dpi SCRIPT dialog.sh ENVIRONMENT "DIALOG_DPI=144;DIALOG_DESKTOP=1000x740")

# The desktop widget as a user meets it: first forecast, dragging, its menu items, rain.
add_executable(widget-probe tests/e2e/widget_probe_win32.cpp)
target_link_libraries(widget-probe PRIVATE user32)
target_include_directories(widget-probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_options(widget-probe PRIVATE -municode)
corvella_warnings(widget-probe)
corvella_wine_journey(widget_e2e SCRIPT widget.sh SKIPPABLE)

# The widget's composition with the pictures linked into corvella.exe.
corvella_test(widget_win32_tests WINDOWS_ONLY
  SOURCES tests/presentation/widget_window_win32_test.cpp
  DEPS corvella_presentation_win32 corvella_settings psapi)
if(TARGET widget_win32_tests)
  target_compile_definitions(widget_win32_tests PRIVATE CORVELLA_EXE_PATH=L"${exe_path}")
  add_dependencies(widget_win32_tests corvella)
endif()
