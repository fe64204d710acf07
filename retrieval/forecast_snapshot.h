// What the refresh passes have made of the forecast: the tray hint and the values the
// tray icon and the widget draw. Windows-1251 text; temperatures stay text as the feed
// gives them.
#pragma once

#include <optional>
#include <string>

#include "common/date_time.h"

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
  // The place's offset from UTC in seconds, when the last forecast stated it.
  std::optional<int> placeUtcOffset;
  // The clock the last forecast was read by: the place's own when the document states its
  // offset from UTC, else the computer's. Its hour picked the hour block, its date the days.
  CivilTime placeNow;
};

}  // namespace corvella
