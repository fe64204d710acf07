#include "presentation/setting_change.h"

namespace corvella {

SettingReaction ReactionToSettingChange(unsigned action, std::string_view area) {
  switch (action) {
    case kSpiSetNonClientMetrics:
    case kSpiSetIconMetrics:
    case kSpiSetWorkArea:
      return SettingReaction::Close;
    case kSpiSetHighContrast:
      return SettingReaction::Repaint;
    default:
      break;
  }
  // A switch of the light or dark theme, or of the accent colour (a wallpaper slideshow's too).
  if (area == "ImmersiveColorSet" || area == "WindowsThemeElement") return SettingReaction::Repaint;
  return SettingReaction::Keep;
}

}  // namespace corvella
