// How the notification area looks now: the taskbar's light or dark theme and a high-contrast
// scheme, read from the system.
#pragma once

#include <optional>
#include <string>

#include "presentation/digit_colour.h"

namespace corvella {

// "SystemUsesLightTheme" under HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize
// (absent, as before Windows 10 1903, or unreadable: dark, as those taskbars are), and the
// high-contrast scheme's window text when one is on.
TaskbarLook ReadTaskbarLook();

// Whether Windows 11 shows the icon of the program at `exePath` on the taskbar ("IsPromoted" of
// its entry under HKCU\Control Panel\NotifyIconSettings, absent meaning not). Nothing where the
// key or the program's entry is not there (older Windows, or the shell has not recorded it yet).
// Only read: pinning is the user's choice.
std::optional<bool> ReadIconPromoted(const std::wstring& exePath);

}  // namespace corvella
