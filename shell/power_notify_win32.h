// Suspend and resume for a window on every kind of sleep. A plain window hears
// WM_POWERBROADCAST only for the classic sleep states; on a machine with Modern Standby (S0
// low-power idle) it hears of suspend and resume only once registered for them.
#pragma once

#include <windows.h>

namespace corvella {

class SuspendResumeNotification {
 public:
  // Registers `window` with RegisterSuspendResumeNotification (Windows 8 and later, looked up
  // at run time). Where the call is missing, the window keeps the classic messages only.
  explicit SuspendResumeNotification(HWND window);
  // Unregisters; the window must still exist.
  ~SuspendResumeNotification();
  SuspendResumeNotification(const SuspendResumeNotification&) = delete;
  SuspendResumeNotification& operator=(const SuspendResumeNotification&) = delete;

  bool registered() const { return handle_ != nullptr; }
  // Whether this Windows has the call at all.
  bool available() const { return unregister_ != nullptr; }
  // GetLastError of a registration that failed, else 0.
  DWORD failure() const { return failure_; }

 private:
  using UnregisterFn = BOOL(WINAPI*)(HANDLE);
  HANDLE handle_ = nullptr;
  UnregisterFn unregister_ = nullptr;
  DWORD failure_ = 0;
};

}  // namespace corvella
