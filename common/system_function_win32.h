// A function of a system DLL looked up by name: for what is newer than the oldest Windows the
// program runs on, and for libraries loaded only when they are first needed.
#pragma once

#include <windows.h>

namespace corvella {

// `name` in `module` as a pointer of type Fn; null when the module is null or lacks the name.
template <class Fn>
Fn SystemFunction(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The DPI of `window`'s monitor (GetDpiForWindow, Windows 10 1607+), else the screen's; 96 when
// neither answers. A null window gives the screen's.
inline int DpiOfWindow(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow =
      SystemFunction<GetDpiForWindowFn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace corvella
