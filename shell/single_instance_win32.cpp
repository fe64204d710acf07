#include "shell/single_instance_win32.h"

#include "common/cp1251.h"
#include "shell/app_names.h"

namespace corvella {

InstanceMutex::InstanceMutex(const wchar_t* name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  // Whether the name was there already shows only in the last error, right after the call.
  const DWORD error = GetLastError();
  if (mutex == nullptr) {
    failure_ = error;
    return;
  }
  handle_.reset(mutex);
  takenByAnother_ = error == ERROR_ALREADY_EXISTS;
}

bool AnotherInstanceRunning(HWND ownAppWindow) {
  const std::wstring title = ToWide(kProductName);
  // Top-level windows of the application class and title; the system walks the list, which a
  // loop of GetWindow calls could follow into a window destroyed meanwhile, or round forever.
  for (HWND w = FindWindowExW(nullptr, nullptr, kApplicationWindowClass, title.c_str()); w != nullptr;
       w = FindWindowExW(nullptr, w, kApplicationWindowClass, title.c_str())) {
    if (w == ownAppWindow || GetWindow(w, GW_OWNER) != nullptr) continue;
    // The system matches titles regardless of case; the title is the program's exactly.
    wchar_t text[128] = {};
    GetWindowTextW(w, text, 128);
    if (title == text) return true;
  }
  return false;
}

}  // namespace corvella
