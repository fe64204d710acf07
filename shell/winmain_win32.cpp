// Program entry: the session's instance name, COM for the GUI thread, the hidden application
// window that a second start looks for, the main form, and the message loop.
#include <objbase.h>
#include <windows.h>

#include "common/cp1251.h"
#include "common/message_window_win32.h"
#include "common/system_function_win32.h"
#include "shell/app_names.h"
#include "shell/main_form_win32.h"
#include "shell/single_instance_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything loads a DLL: none comes from the program's folder (a Downloads folder).
  corvella::RestrictDllSearchToSystem();
  // A second start in the session ends here, silently, before it has any window that a start at
  // the same moment could take for a running copy. Held until the process ends.
  const corvella::InstanceMutex instanceName;
  if (instanceName.TakenByAnother()) return 0;
  // COM starts with the first refresh pass (com::Start), not here.
  // The application window: never shown; unowned and top-level, titled with the application
  // title. It answers nothing of its own. Without it a second start would not find this one.
  corvella::MessageWindow applicationWindow;
  const std::wstring title = corvella::ToWide(corvella::kProductName);
  applicationWindow.Create(nullptr, instance, {.name = corvella::kApplicationWindowClass},
                           {.exStyle = WS_EX_TOOLWINDOW, .title = title.c_str()});
  {
    corvella::MainForm form(instance, applicationWindow.get());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (form.PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return 0;
}
