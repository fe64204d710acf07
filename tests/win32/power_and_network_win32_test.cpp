// The two system services the refresh after a wake relies on: the suspend/resume registration
// and the online test, against the real Windows API.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <thread>

#include "shell/online_check_win32.h"
#include "shell/power_notify_win32.h"

namespace corvella {
namespace {

TEST(SuspendResume, AWindowIsRegisteredWhereWindowsHasTheCall) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  {
    SuspendResumeNotification notification(window);
    EXPECT_EQ(notification.registered(), notification.available()) << "error " << notification.failure();
  }
  DestroyWindow(window);
}

TEST(OnlineCheck, TheNetworkListAnswersWhereCOMIsReady) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    OnlineCheck check;
    check.IsOnline();  // whatever this machine's network says
    EXPECT_EQ(check.creationFailure(), S_OK);
  }
  CoUninitialize();

  // On a thread without COM the network list can't be created: WinINet answers instead.
  HRESULT failure = S_OK;
  std::thread([&] {
    OnlineCheck check;
    check.IsOnline();
    failure = check.creationFailure();
  }).join();
  EXPECT_EQ(failure, CO_E_NOTINITIALIZED);
}

}  // namespace
}  // namespace corvella
