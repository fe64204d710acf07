#include "presentation/taskbar_look_win32.h"

#include <windows.h>

namespace corvella {

TaskbarLook ReadTaskbarLook() {
  TaskbarLook look;
  DWORD value = 1;
  DWORD size = sizeof value;
  // RegGetValueW checks the type for us; anything but a DWORD counts as absent.
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                   L"SystemUsesLightTheme", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS) {
    look.light = value != 0;
  }
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0) {
    look.highContrastText = static_cast<std::uint32_t>(GetSysColor(COLOR_WINDOWTEXT));
  }
  return look;
}

}  // namespace corvella
