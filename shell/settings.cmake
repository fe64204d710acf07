# Settings: the store accessor (registry on Windows, memory for tests), AppSettings with
# Loads/Saves, and the autostart entry.
corvella_library(corvella_settings
  SOURCES shell/settings_store.cpp shell/memory_settings_store.cpp shell/app_settings.cpp shell/autostart.cpp
          shell/widget_switches.cpp
  WIN32_SOURCES shell/registry_store_win32.cpp shell/autostart_win32.cpp
  DEPS corvella_common)

corvella_test(settings_tests
  SOURCES tests/shell/settings_store_test.cpp tests/shell/app_settings_test.cpp
          tests/shell/widget_switches_test.cpp
  DEPS corvella_settings)

# Runs against the real registry of the build tree's Wine prefix.
corvella_test(settings_registry_win32_tests WINDOWS_ONLY
  SOURCES tests/shell/registry_store_win32_test.cpp
  DEPS corvella_settings)
if(TARGET settings_registry_win32_tests)
  # Other registry tests of the same prefix must not run beside it.
  set_tests_properties(settings_registry_win32_tests PROPERTIES RESOURCE_LOCK hkcu_velmar)
endif()

# The settings dialog as data (controls, binding) and its small rules; the window is in app.cmake.
corvella_library(corvella_dialog_layout
  SOURCES shell/settings_dialog_layout.cpp
  DEPS corvella_settings corvella_servers corvella_common)

corvella_test(dialog_layout_tests
  SOURCES tests/shell/settings_dialog_layout_test.cpp
  DEPS corvella_dialog_layout)
