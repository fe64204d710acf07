// The scale of one monitor, for what opens there (the dialog, the tray menu).
#pragma once

#include <windows.h>

#include "common/system_function_win32.h"

namespace corvella {

// The monitor's effective DPI (Windows 8.1+); 0 where Windows has only the system's.
inline UINT MonitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const auto getDpi =
      SystemFunction<GetDpiForMonitorFn>(LoadSystemLibrary(L"shcore.dll"), "GetDpiForMonitor");
  UINT x = 0;
  UINT y = 0;
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  return getDpi != nullptr && SUCCEEDED(getDpi(monitor, kEffectiveDpi, &x, &y)) ? x : 0;
}

}  // namespace corvella
