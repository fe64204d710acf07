#include "retrieval/forecast_blocks.h"

#include <algorithm>
#include <charconv>

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

// Where every hour block and every day block opens, found in one walk through the document.
struct Openings {
  std::vector<std::size_t> hours, days;
};

Openings FindOpenings(std::string_view text) {
  Openings found;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    const std::string_view rest = text.substr(at);
    if (rest.starts_with(kHourOpen)) found.hours.push_back(at);
    if (rest.starts_with(kDayOpen)) found.days.push_back(at);
  }
  return found;
}

// Just after the first whole marker `open` `value` `close`, which is where it first occurs in
// the text: every occurrence of its opening is among `opens`. npos when it does not occur.
std::size_t FirstMarker(std::string_view text, const std::vector<std::size_t>& opens,
                                       std::string_view open, std::string_view value, std::string_view close) {
  for (std::size_t at : opens) {
    const std::string_view rest = text.substr(at + open.size());
    if (rest.starts_with(value) && rest.substr(value.size()).starts_with(close))
      return at + open.size() + value.size() + close.size();
  }
  return std::string_view::npos;
}

// The text of attribute `name` on the first `element` ("<wind") of a block.
std::optional<std::string_view> Attribute(std::string_view block, std::string_view element, std::string_view name) {
  std::size_t at = block.find(element);
  while (at != std::string_view::npos && !block.substr(at + element.size()).starts_with(' '))
    at = block.find(element, at + 1);
  if (at == std::string_view::npos) return std::nullopt;
  return AttributeInTag(block.substr(at), name);
}

// A number within lowest..highest, or nothing.
template <typename Number>
std::optional<Number> NumberIn(std::string_view block, std::string_view element, std::string_view name,
                               Number lowest, Number highest) {
  const std::optional<std::string_view> text = Attribute(block, element, name);
  if (!text || text->empty() || text->size() > 12) return std::nullopt;
  Number value{};
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size()) return std::nullopt;
  if (!(value >= lowest && value <= highest)) return std::nullopt;
  return value;
}

std::optional<FeedWind> WindIn(std::string_view block) {
  const std::optional<int> speed = NumberIn(block, "<wind", " speed=\"", 0, 150);
  if (!speed) return std::nullopt;
  return FeedWind{*speed, NumberIn(block, "<wind", " gust=\"", 0, 200), NumberIn(block, "<wind", " dir=\"", 0, 359)};
}

std::optional<FeedPrecip> PrecipIn(std::string_view block) {
  const std::optional<double> amount = NumberIn(block, "<precip", " value=\"", 0.0, 500.0);
  if (!amount) return std::nullopt;
  return FeedPrecip{*amount, NumberIn(block, "<precip", " prob=\"", 0, 100)};
}

HourBlock HourIn(std::string value, std::string_view block) {
  std::string description = ValueIn(block, kDescriptionMarker);
  HourBlock hour{std::move(value), ValueIn(block, kTemperatureMarker), SkyOf(description), description, {}};
  hour.details.feels = NumberIn(block, "<feels", " value=\"", -100.0, 70.0);
  hour.details.wind = WindIn(block);
  hour.details.pressure = NumberIn(block, "<pressure", " value=\"", 400, 850);
  hour.details.humidity = NumberIn(block, "<humidity", " value=\"", 0, 100);
  hour.details.precip = PrecipIn(block);
  return hour;
}

DayBlock DayIn(std::string value, std::string_view block) {
  // The day's own values stand before its hours, whose symbols are theirs.
  if (Has(block, kHourOpen)) block = block.substr(0, block.find(kHourOpen));
  DayBlock day{std::move(value), ValueIn(block, kMinimumMarker), ValueIn(block, kMaximumMarker), {}, {}, {}, {}};
  if (Has(block, kSymbolMarker)) {
    const std::string symbol = TextAfter(block, kSymbolMarker);
    day.description =
        ValueIn(Has(symbol, kElementEnd) ? TextBefore(symbol, kElementEnd) : symbol, kDescriptionMarker);
    day.sky = SkyOf(day.description);
  }
  day.precip = PrecipIn(block);
  day.wind = WindIn(block);
  return day;
}

// The blocks in document order from the first whole marker of `first` on: each runs to its
// end marker, and the next is the first opening after that end, as long as its value has
// `digits` digits followed by `close`. A block without its end is not trusted, nor anything after.
template <typename Block, typename Read>
std::vector<Block> BlocksFrom(std::string_view text, const std::vector<std::size_t>& opens, std::string_view open,
                              std::string_view close, std::string_view end, std::string_view first,
                              std::size_t digits, std::size_t most, Read read) {
  std::vector<Block> blocks;
  if (!AllDigits(first, digits)) return blocks;
  std::size_t at = FirstMarker(text, opens, open, first, close);
  std::string value(first);
  auto next = opens.begin();
  while (at != std::string_view::npos && blocks.size() < most) {
    const std::size_t stop = text.find(end, at);
    if (stop == std::string_view::npos) break;
    blocks.push_back(read(value, text.substr(at, stop - at)));
    next = std::lower_bound(next, opens.end(), stop + end.size());
    if (next == opens.end()) break;
    const std::string_view rest = text.substr(*next + open.size());
    value = std::string(rest.substr(0, digits));
    at = std::string_view::npos;
    if (AllDigits(value, digits) && rest.substr(digits).starts_with(close)) at = *next + open.size() + digits + close.size();
  }
  return blocks;
}

std::vector<HourBlock> HoursFrom(std::string_view text, const Openings& opens, std::string_view hour) {
  return BlocksFrom<HourBlock>(text, opens.hours, kHourOpen, kHourClose, kHourEnd, hour, 2, kMaxHourBlocks, HourIn);
}

std::vector<DayBlock> DaysFrom(std::string_view text, const Openings& opens, std::string_view today) {
  return BlocksFrom<DayBlock>(text, opens.days, kDayOpen, kQuote, kDayEnd, today, 8, kMaxDayBlocks, DayIn);
}

// The tray's range of a day: the block the whole marker opens, or the absent marker's rule.
DayRange RangeOf(std::string_view text, const Openings& opens, std::string_view day) {
  const std::size_t at = FirstMarker(text, opens.days, kDayOpen, day, kQuote);
  return at != std::string_view::npos ? DayRangeInBlock(TextBefore(text.substr(at), kDayEnd))
                                      : ExtractDayRange(text, day);
}

}  // namespace

ForecastReading ReadForecast(std::string_view text, std::string_view hour, const CivilDate& today) {
  const Openings opens = FindOpenings(text);
  ForecastReading reading;
  const std::size_t now = FirstMarker(text, opens.hours, kHourOpen, hour, kHourClose);
  reading.current = now != std::string_view::npos ? CurrentInBlock(TextBefore(text.substr(now), kHourEnd))
                                                  : ExtractCurrent(text, hour);
  reading.tomorrow = RangeOf(text, opens, FormatYmd(AddDays(today, 1)));
  reading.dayAfter = RangeOf(text, opens, FormatYmd(AddDays(today, 2)));
  reading.hours = HoursFrom(text, opens, hour);
  reading.days = DaysFrom(text, opens, FormatYmd(today));
  return reading;
}

std::vector<HourBlock> ExtractHours(std::string_view text, std::string_view hour) {
  return HoursFrom(text, FindOpenings(text), hour);
}

std::vector<DayBlock> ExtractDays(std::string_view text, std::string_view today) {
  return DaysFrom(text, FindOpenings(text), today);
}

}  // namespace corvella
