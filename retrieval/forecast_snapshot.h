// What the refresh passes have made of the forecast: the tray hint and the values the
// tray icon and the widget draw. Windows-1251 text; temperatures stay text as the feed
// gives them.
#pragma once

#include <string>

namespace corvella {

struct ForecastSnapshot {
  // The composed tray hint; lines are separated by the single character 13.
  std::string hintText;
  // Current temperature followed by "°", or empty (this pass only).
  std::string temperatureText;
  // The last condition word found; kept while passes skip the current weather.
  std::string skyCondition;
  // Temperature as drawn on the tray icon (this pass only).
  std::string iconText;
  // Temperature with its sign for the widget; cleared by each current-weather step.
  std::string signedText;
  std::string tomorrowMin, tomorrowMax;
  std::string dayAfterMin, dayAfterMax;
};

}  // namespace corvella
