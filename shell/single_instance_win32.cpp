#include "shell/single_instance_win32.h"

#include <cwchar>

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
  // Walk the top-level windows in Z-order, from the first to the end of the list.
  for (HWND w = GetWindow(ownAppWindow, GW_HWNDFIRST); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == ownAppWindow || GetWindow(w, GW_OWNER) != nullptr) continue;
    wchar_t text[128] = {};
    GetWindowTextW(w, text, 128);
    if (title != text) continue;
    wchar_t className[256] = {};
    if (GetClassNameW(w, className, 256) > 0 && std::wcscmp(className, kApplicationWindowClass) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace corvella
