#include "shell/power_notify_win32.h"

#include <cwchar>

#include "common/system_function_win32.h"

namespace corvella {
namespace {

using RegisterFn = HANDLE(WINAPI*)(HANDLE, DWORD);

// A failure here costs only the refresh after a Modern Standby wake: it goes to the debugger,
// not to the user.
void Trace(const wchar_t* call, DWORD error) {
  wchar_t text[96];
  std::swprintf(text, 96, L"Corvella: %ls failed, error %lu\n", call, static_cast<unsigned long>(error));
  OutputDebugStringW(text);
}

}  // namespace

SuspendResumeNotification::SuspendResumeNotification(HWND window) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  if (user == nullptr) return;
  auto registerFn = SystemFunction<RegisterFn>(user, "RegisterSuspendResumeNotification");
  auto unregisterFn = SystemFunction<UnregisterFn>(user, "UnregisterSuspendResumeNotification");
  if (registerFn == nullptr || unregisterFn == nullptr) return;  // before Windows 8
  unregister_ = unregisterFn;
  handle_ = registerFn(window, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (handle_ == nullptr) {
    failure_ = GetLastError();
    Trace(L"RegisterSuspendResumeNotification", failure_);
  }
}

SuspendResumeNotification::~SuspendResumeNotification() {
  if (handle_ == nullptr) return;
  if (!unregister_(handle_)) Trace(L"UnregisterSuspendResumeNotification", GetLastError());
}

}  // namespace corvella
