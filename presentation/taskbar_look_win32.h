// How the notification area looks now: the taskbar's light or dark theme and a high-contrast
// scheme, read from the system.
#pragma once

#include "presentation/digit_colour.h"

namespace corvella {

// "SystemUsesLightTheme" under HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize
// (absent, as before Windows 10 1903, or unreadable: light), and the high-contrast scheme's window
// text when one is on.
TaskbarLook ReadTaskbarLook();

}  // namespace corvella
