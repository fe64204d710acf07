// Program entry: the session's instance name, COM for the GUI thread, the hidden application
// window that a second start looks for, the main form, and the message loop.
#include <objbase.h>
#include <windows.h>

#include "common/cp1251.h"
#include "common/system_function_win32.h"
#include "shell/app_names.h"
#include "shell/main_form_win32.h"
#include "shell/single_instance_win32.h"

namespace {

HWND CreateApplicationWindow(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = corvella::kApplicationWindowClass;
  RegisterClassW(&wc);
  // Never shown; unowned and top-level, titled with the application title.
  return CreateWindowExW(WS_EX_TOOLWINDOW, corvella::kApplicationWindowClass,
                         corvella::ToWide(corvella::kProductName).c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, instance, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything loads a DLL: none comes from the program's folder (a Downloads folder).
  corvella::RestrictDllSearchToSystem();
  // A second start in the session ends here, silently, before it has any window that a start at
  // the same moment could take for a running copy. Held until the process ends.
  const corvella::InstanceMutex instanceName;
  if (instanceName.TakenByAnother()) return 0;
  // COM starts with the first refresh pass (com::Start), not here.
  HWND applicationWindow = CreateApplicationWindow(instance);
  {
    corvella::MainForm form(instance, applicationWindow);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (form.PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  DestroyWindow(applicationWindow);
  return 0;
}
