// Every hour block and every day block of the forecast document, cut out with the same text
// search as the tray's few values (TextAfter/TextBefore), for the forecast window.
// Pure functions; any input gives a bounded result.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/weather_feed.h"

namespace corvella {

// A document that repeats its blocks without end still gives a short list.
inline constexpr std::size_t kMaxHourBlocks = 24;
inline constexpr std::size_t kMaxDayBlocks = 7;

struct HourBlock {
  std::string hour;         // "00".."23"
  std::string temperature;  // the feed's text, no degree sign; may be empty
  std::string sky;          // one of the six sky words, from the description
  std::string description;  // the feed's words
};

struct DayBlock {
  std::string date;       // "yyyymmdd"
  std::string min, max;   // the feed's text; either may be empty
  std::string sky;        // from the day's own <symbol>; empty when the day has none
  std::string description;
};

// The hour blocks in document order from the first block of `hour` ("HH") on, at most
// kMaxHourBlocks. Empty when the document has no block for that hour.
std::vector<HourBlock> ExtractHours(std::string_view text, std::string_view hour);

// The day blocks in document order from the block of `today` ("yyyymmdd") on, at most
// kMaxDayBlocks; a day's picture comes from its own <symbol> before its first hour block.
// Empty when the document has no block for that day.
std::vector<DayBlock> ExtractDays(std::string_view text, std::string_view today);

}  // namespace corvella
