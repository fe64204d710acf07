#include "shell/power_notify_win32.h"

#include "common/system_function_win32.h"

namespace corvella {
namespace {

using RegisterFn = HANDLE(WINAPI*)(HANDLE, DWORD);

}  // namespace

SuspendResumeNotification::SuspendResumeNotification(HWND window) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  if (user == nullptr) return;
  auto registerFn = SystemFunction<RegisterFn>(user, "RegisterSuspendResumeNotification");
  auto unregisterFn = SystemFunction<UnregisterFn>(user, "UnregisterSuspendResumeNotification");
  if (registerFn == nullptr || unregisterFn == nullptr) return;  // before Windows 8
  unregister_ = unregisterFn;
  // A failure costs only the refresh after a Modern Standby wake: it goes to the debugger.
  handle_ = registerFn(window, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (handle_ == nullptr) {
    failure_ = GetLastError();
    TraceFailure(L"RegisterSuspendResumeNotification", failure_);
  }
}

SuspendResumeNotification::~SuspendResumeNotification() {
  if (handle_ == nullptr) return;
  if (!unregister_(handle_)) TraceFailure(L"UnregisterSuspendResumeNotification", GetLastError());
}

}  // namespace corvella
