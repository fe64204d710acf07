corvella_library(corvella_common
  SOURCES common/cp1251.cpp common/error.cpp common/date_time.cpp
  WIN32_SOURCES common/clock_win32.cpp common/message_wait_win32.cpp common/utf8_win32.cpp common/com_win32.cpp
                common/message_window_win32.cpp
  POSIX_SOURCES common/clock_posix.cpp)
if(WIN32)
  target_link_libraries(corvella_common PUBLIC user32)
endif()

corvella_test(common_tests
  SOURCES tests/common/cp1251_test.cpp tests/common/error_test.cpp tests/common/date_time_test.cpp
          tests/common/unique_handle_test.cpp
  DEPS corvella_common)

corvella_test(codepage_win32_tests WINDOWS_ONLY
  SOURCES tests/win32/codepage_win32_test.cpp tests/win32/message_window_win32_test.cpp
  DEPS corvella_common)
