#include "retrieval/weather_feed.h"

#include <array>

#include "common/text_literal.h"
#include "retrieval/servers.h"
#include "common/utf8_cp1251.h"

namespace corvella {
namespace {

constexpr std::string_view kFeedQuery = "?api_lang=ru&localidad=";
constexpr std::string_view kFeedTail = "&v=2&h=1";

using namespace feed_markers;
constexpr std::string_view kPlaceOpening = "<location";
constexpr std::string_view kUtcOffsetMarker = " utc_offset=\"";
constexpr int kLargestUtcOffset = 18 * 3600;
constexpr std::string_view kDegree = "°"_cp;

// The sky words, tested in this order on the description; the last match wins.
struct SkyRule {
  std::string_view found;
  std::string_view condition;
};
constexpr std::string_view kClearSky = "Ясно"_cp;
constexpr std::array<SkyRule, 5> kSkyRules = {{
    {"снег"_cp, "Снег"_cp},
    {"Пасмурно"_cp, "Пасмурно"_cp},
    {"дожд"_cp, "Дождь"_cp},
    {"Облачно"_cp, "Облачно"_cp},
    {"гроз"_cp, "Гроза"_cp},
}};

bool Contains(std::string_view s, std::string_view part) { return TextPos(s, part) != 0; }

// The text of a value: what follows `marker` in `block` up to the next double quote.
std::string ValueAfter(std::string_view block, std::string_view marker) {
  return TextBefore(TextAfter(block, marker), kQuote);
}

}  // namespace

std::string BuildFeedUrl(std::string_view feedId) {
  std::string url = "http://";
  url += kFeedHost;
  url += kFeedRequestPath;
  url += kFeedQuery;
  url += feedId;
  url += "&affiliate_id=";
  url += kFeedAffiliateId;
  url += kFeedTail;
  return url;
}

std::string DecodeFeedBody(std::string_view body) {
  return utf8_cp1251::Decode<utf8_cp1251::BadInput::RejectsAll>(body);
}

CurrentReading ExtractCurrent(std::string_view text, std::string_view hour) {
  std::string marker = "<hour value=\"";
  marker += hour;
  marker += ":00\">";
  return CurrentInBlock(TextBefore(TextAfter(text, marker), kHourEnd));
}

CurrentReading CurrentInBlock(std::string_view block) {
  CurrentReading reading;
  std::string temperature = ValueAfter(block, kTemperatureMarker);
  if (!temperature.empty()) reading.temperatureText = temperature + std::string(kDegree);

  reading.skyCondition = SkyOf(ValueAfter(block, kDescriptionMarker));
  return reading;
}

std::string SkyOf(std::string_view description) {
  std::string_view condition = kClearSky;
  for (const SkyRule& rule : kSkyRules) {
    if (Contains(description, rule.found)) condition = rule.condition;
  }
  return std::string(condition);
}

DayRange ExtractDayRange(std::string_view text, std::string_view day) {
  std::string marker = "<day value=\"";
  marker += day;
  marker += "\"";
  return DayRangeInBlock(TextBefore(TextAfter(text, marker), kDayEnd));
}

DayRange DayRangeInBlock(std::string_view block) {
  return DayRange{ValueAfter(block, kMinimumMarker), ValueAfter(block, kMaximumMarker)};
}

std::optional<int> ExtractUtcOffset(std::string_view text) {
  // Only the opening tag of the place counts, never an attribute further down.
  const std::size_t open = text.find(kPlaceOpening);
  if (open == std::string_view::npos) return std::nullopt;
  const std::optional<std::string_view> attribute = AttributeInTag(text.substr(open), kUtcOffsetMarker);
  if (!attribute) return std::nullopt;
  std::string_view value = *attribute;
  const bool negative = value.starts_with('-');
  if (negative || value.starts_with('+')) value.remove_prefix(1);
  if (value.empty() || value.size() > 6) return std::nullopt;
  int seconds = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  if (seconds > kLargestUtcOffset) return std::nullopt;
  return negative ? -seconds : seconds;
}

std::string DeriveIconText(std::string_view temperatureText) {
  std::string icon =
      Contains(temperatureText, ".") ? TextBefore(temperatureText, ".") : std::string(temperatureText);
  std::erase(icon, '+');
  return icon;
}

std::string DeriveSignedText(std::string_view iconText) {
  if (iconText.empty() || iconText.front() == '-' || iconText.front() == '+') return std::string(iconText);
  // Appended rather than "+" + std::string(...): GCC 12 at -O3 reports a false -Wrestrict
  // for a literal added to a temporary string.
  std::string signedText = "+";
  signedText += iconText;
  return signedText;
}

}  // namespace corvella
