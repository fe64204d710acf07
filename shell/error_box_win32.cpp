#include "shell/error_box_win32.h"

#include "common/cp1251.h"
#include "common/error.h"
#include "shell/app_names.h"

namespace corvella {

void ShowApplicationError(HWND owner, std::string_view message) {
  MessageBoxW(owner, ToWide(ErrorBoxText(message)).c_str(), ToWide(kProductName).c_str(),
              MB_OK | MB_ICONERROR);
}

}  // namespace corvella
