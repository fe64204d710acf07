#include "shell/single_instance_win32.h"

#include <gtest/gtest.h>

namespace corvella {
namespace {

HWND MakeWindow(const wchar_t* title, HWND owner = nullptr) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SingleInstanceTestWindow";
    RegisterClassW(&wc);
    registered = true;
  }
  return CreateWindowExW(0, L"SingleInstanceTestWindow", title, WS_POPUP, 0, 0, 10, 10, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

struct Window {
  explicit Window(const wchar_t* title, HWND owner = nullptr) : hwnd(MakeWindow(title, owner)) {}
  ~Window() { DestroyWindow(hwnd); }
  HWND hwnd;
};

TEST(SingleInstance, OnlyAnotherUnownedWindowWithTheExactTitleCounts) {
  Window own(L"Corvella");
  ASSERT_NE(own.hwnd, nullptr);
  EXPECT_FALSE(AnotherInstanceRunning(own.hwnd)) << "our own application window is skipped";

  {
    Window dialog(L"Corvella Forecast");
    Window lower(L"corvella");
    Window padded(L"Corvella ");
    EXPECT_FALSE(AnotherInstanceRunning(own.hwnd));
  }
  {
    // An owned window titled "Corvella" (another instance's dialog, say) is not an instance.
    Window owner(L"someone");
    Window owned(L"Corvella", owner.hwnd);
    EXPECT_FALSE(AnotherInstanceRunning(own.hwnd));
  }
  {
    Window other(L"Corvella");
    EXPECT_TRUE(AnotherInstanceRunning(own.hwnd));
  }
  EXPECT_FALSE(AnotherInstanceRunning(own.hwnd));
}

}  // namespace
}  // namespace corvella
