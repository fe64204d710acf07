// The forecast document read once: every hour block from the current hour and every day block
// from today with all their values, and the tray's few values cut exactly as ExtractCurrent and
// ExtractDayRange cut them. Pure functions; any input gives a bounded result.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"
#include "retrieval/weather_feed.h"

namespace corvella {

// A document that repeats its blocks without end still gives a short list.
inline constexpr std::size_t kMaxHourBlocks = 24;
inline constexpr std::size_t kMaxDayBlocks = 7;

struct FeedWind {
  int speed = 0;             // m/s, whole
  std::optional<int> gust;   // m/s
  std::optional<int> from;   // degrees the wind blows from, 0..359
};

struct FeedPrecip {
  double amount = 0;          // mm
  std::optional<int> chance;  // %
};

// The values an older document does not have, each absent on its own.
struct HourDetails {
  std::optional<double> feels;  // °C
  std::optional<FeedWind> wind;
  std::optional<int> pressure;  // mm Hg
  std::optional<int> humidity;  // %
  std::optional<FeedPrecip> precip;
};

struct HourBlock {
  std::string hour;         // "00".."23"
  std::string temperature;  // the feed's text, no degree sign; may be empty
  std::string sky;          // one of the six sky words, from the description
  std::string description;  // the feed's words
  HourDetails details = {};
};

struct DayBlock {
  std::string date;       // "yyyymmdd"
  std::string min, max;   // the feed's text; either may be empty
  std::string sky;        // from the day's own <symbol>; empty when the day has none
  std::string description;
  std::optional<FeedPrecip> precip = {};  // the day's sum and highest chance
  std::optional<FeedWind> wind = {};      // the day's strongest wind
};

// One reading of a document for the hour `hour` ("HH") of the day `today`.
struct ForecastReading {
  CurrentReading current;          // as ExtractCurrent(text, hour) reads it
  DayRange tomorrow, dayAfter;     // as ExtractDayRange reads today + 1 and + 2
  std::vector<HourBlock> hours;    // from the first block of `hour` on, at most kMaxHourBlocks
  std::vector<DayBlock> days;      // from the block of `today` on, at most kMaxDayBlocks
};
ForecastReading ReadForecast(std::string_view text, std::string_view hour, const CivilDate& today);

// The hour blocks in document order from the first block of `hour` ("HH") on, at most
// kMaxHourBlocks. Empty when the document has no block for that hour.
std::vector<HourBlock> ExtractHours(std::string_view text, std::string_view hour);

// The day blocks in document order from the block of `today` ("yyyymmdd") on, at most
// kMaxDayBlocks; a day's picture comes from its own <symbol> before its first hour block.
// Empty when the document has no block for that day.
std::vector<DayBlock> ExtractDays(std::string_view text, std::string_view today);

}  // namespace corvella
