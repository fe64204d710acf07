#include "retrieval/forecast_blocks.h"

#include <algorithm>

namespace corvella {
namespace {

using namespace feed_markers;

constexpr std::string_view kHourOpen = "<hour value=\"";
constexpr std::string_view kHourClose = ":00\">";
constexpr std::string_view kDayOpen = "<day value=\"";
constexpr std::string_view kSymbolMarker = "<symbol value=\"";
constexpr std::string_view kElementEnd = "/>";

bool Has(std::string_view s, std::string_view marker) { return s.find(marker) != std::string_view::npos; }

// A value inside a block, or empty when its marker is not there: unlike the tray's values,
// nothing here is taken from the neighbouring text when a marker is missing.
std::string ValueIn(std::string_view block, std::string_view marker) {
  return Has(block, marker) ? TextBefore(TextAfter(block, marker), kQuote) : std::string();
}

bool AllDigits(std::string_view s, std::size_t length) {
  return s.size() == length && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Moves `rest` past the next opening marker and returns the value it opens with (up to
// `close`), or empty when there is no further block.
std::string NextOpening(std::string& rest, std::string_view open, std::string_view close) {
  if (!Has(rest, open)) return {};
  rest = TextAfter(rest, open);
  std::string value = TextBefore(rest, close);
  rest = TextAfter(rest, close);
  return value;
}

}  // namespace

std::vector<HourBlock> ExtractHours(std::string_view text, std::string_view hour) {
  std::vector<HourBlock> hours;
  std::string first(kHourOpen);
  first += hour;
  first += kHourClose;
  if (!AllDigits(hour, 2) || !Has(text, first)) return hours;
  std::string rest = TextAfter(text, first);
  std::string value(hour);
  while (hours.size() < kMaxHourBlocks && AllDigits(value, 2)) {
    // A block without its end is not trusted, nor anything after it.
    if (!Has(rest, kHourEnd)) break;
    const std::string block = TextBefore(rest, kHourEnd);
    std::string description = ValueIn(block, kDescriptionMarker);
    hours.push_back(HourBlock{value, ValueIn(block, kTemperatureMarker), SkyOf(description), description});
    rest = TextAfter(rest, kHourEnd);
    value = NextOpening(rest, kHourOpen, kHourClose);
  }
  return hours;
}

std::vector<DayBlock> ExtractDays(std::string_view text, std::string_view today) {
  std::vector<DayBlock> days;
  std::string first(kDayOpen);
  first += today;
  first += kQuote;
  if (!AllDigits(today, 8) || !Has(text, first)) return days;
  std::string rest = TextAfter(text, first);
  std::string date(today);
  while (days.size() < kMaxDayBlocks && AllDigits(date, 8)) {
    if (!Has(rest, kDayEnd)) break;
    std::string block = TextBefore(rest, kDayEnd);
    // The day's own values stand before its hours, whose symbols are theirs.
    if (Has(block, kHourOpen)) block = TextBefore(block, kHourOpen);
    DayBlock day{date, ValueIn(block, kMinimumMarker), ValueIn(block, kMaximumMarker), {}, {}};
    if (Has(block, kSymbolMarker)) {
      const std::string symbol = TextAfter(block, kSymbolMarker);
      day.description = ValueIn(Has(symbol, kElementEnd) ? TextBefore(symbol, kElementEnd) : symbol,
                                kDescriptionMarker);
      day.sky = SkyOf(day.description);
    }
    days.push_back(std::move(day));
    rest = TextAfter(rest, kDayEnd);
    date = NextOpening(rest, kDayOpen, kQuote);
  }
  return days;
}

}  // namespace corvella
