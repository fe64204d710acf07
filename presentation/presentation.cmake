corvella_library(corvella_presentation
  SOURCES presentation/tray_digits.cpp presentation/tray_image_list.cpp presentation/icon_file.cpp
          presentation/digit_colour.cpp
          presentation/widget_face.cpp presentation/glyph_outline.cpp
          presentation/forecast_layout.cpp presentation/rate_lines.cpp presentation/forecast_details.cpp
          presentation/setting_change.cpp presentation/flyout_description.cpp presentation/pin_hint.cpp
  DEPS corvella_common corvella_feed_text)

corvella_runtime_path(data_dir "${PROJECT_SOURCE_DIR}/data")
corvella_test(presentation_tests
  SOURCES tests/presentation/tray_test.cpp tests/presentation/tray_art_test.cpp
          tests/presentation/widget_face_test.cpp tests/presentation/glyph_outline_test.cpp
          tests/presentation/forecast_layout_test.cpp tests/presentation/rate_lines_test.cpp tests/presentation/forecast_details_test.cpp
          tests/presentation/flyout_window_test.cpp
  DEPS corvella_presentation)
if(TARGET presentation_tests)
  target_compile_definitions(presentation_tests PRIVATE CORVELLA_DATA_DIR="${data_dir}")
endif()

if(WIN32)
  corvella_library(corvella_presentation_win32
    SOURCES presentation/tray_icon_win32.cpp presentation/tray_art_win32.cpp presentation/tray_digits_win32.cpp
            presentation/popup_menu_win32.cpp presentation/widget_window_win32.cpp
            presentation/widget_composition_win32.cpp
            presentation/gdiplus_library_win32.cpp presentation/taskbar_look_win32.cpp
            presentation/forecast_window_win32.cpp presentation/accessible_description_win32.cpp
    DEPS corvella_presentation shell32 gdi32 user32 advapi32 uuid)
  corvella_test(tray_win32_tests WINDOWS_ONLY
    SOURCES tests/presentation/tray_icon_win32_test.cpp
    DEPS corvella_presentation_win32)
endif()

# The widget's committed backgrounds: sizes, channels and opacity limit.
if(CORVELLA_TESTS AND NOT WIN32)
  add_test(NAME widget_art COMMAND ${PROJECT_SOURCE_DIR}/tests/art/widget_art.sh ${PROJECT_SOURCE_DIR})
  set_tests_properties(widget_art PROPERTIES LABELS native TIMEOUT 60)
endif()
