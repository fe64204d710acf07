#include "shell/single_instance_win32.h"

#include "common/cp1251.h"
#include "shell/app_names.h"

namespace corvella {

bool AnotherInstanceRunning(HWND ownAppWindow) {
  const std::wstring title = ToWide(kProductName);
  // Walk the top-level windows in Z-order, from the first to the end of the list.
  for (HWND w = GetWindow(ownAppWindow, GW_HWNDFIRST); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == ownAppWindow || GetWindow(w, GW_OWNER) != nullptr) continue;
    wchar_t text[128] = {};
    GetWindowTextW(w, text, 128);
    if (title == text) return true;
  }
  return false;
}

}  // namespace corvella
