// What a broadcast change of the system's settings means for an open window drawn in the
// taskbar's colours and laid out at the system's metrics. Portable: the message's two parameters
// come in as numbers and text.
#pragma once

#include <string_view>

namespace corvella {

// SystemParametersInfo's actions that WM_SETTINGCHANGE carries as its first parameter.
inline constexpr unsigned kSpiSetNonClientMetrics = 0x002A;  // the message font among them
inline constexpr unsigned kSpiSetIconMetrics = 0x002E;
inline constexpr unsigned kSpiSetWorkArea = 0x002F;
inline constexpr unsigned kSpiSetHighContrast = 0x0043;

enum class SettingReaction {
  Keep,     // nothing the window shows (the environment, a policy refresh, the locale, ...)
  Repaint,  // colours: the theme's light or dark switch, the accent, a high-contrast scheme
  Close,    // the room or the measures it was laid out in: work area, metrics, scale
};

// `action` is the first parameter, `area` the text the second points to (empty when none).
SettingReaction ReactionToSettingChange(unsigned action, std::string_view area);

}  // namespace corvella
