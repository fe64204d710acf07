// What the refresh passes have made of the forecast: the tray hint and the values the
// tray icon and the widget draw. Windows-1251 text; temperatures stay text as the feed
// gives them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "retrieval/forecast_blocks.h"
#include "retrieval/rate_details.h"

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

  // For the forecast window, all of one place: its region and name, the time of the pass that
  // brought the forecast ("14:05"), the hours from the current one and the days from today.
  std::string feedId, region, place;
  std::string updatedAt;
  std::vector<HourBlock> hours;
  std::vector<DayBlock> days;
  // The currency lines as the hint shows them (label and value).
  std::vector<std::string> rateLines;
  // The same currencies with what the page says beyond the rate (the forecast window's lines).
  std::vector<RateDetail> rateDetails;
};

}  // namespace corvella
