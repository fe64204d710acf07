#include "retrieval/weather_feed.h"

#include <array>

#include "common/text_literal.h"
#include "retrieval/servers.h"
#include "common/utf8_cp1251.h"

namespace corvella {
namespace {

constexpr std::string_view kFeedPath = "/index.php?api_lang=ru&localidad=";
constexpr std::string_view kFeedTail = "&v=2&h=1";

using namespace feed_markers;
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

// 1-based position of the first `marker` in `s`, 0 when absent. An empty marker is never found.
std::size_t Pos(std::string_view s, std::string_view marker) {
  if (marker.empty()) return 0;
  std::size_t at = s.find(marker);
  return at == std::string_view::npos ? 0 : at + 1;
}

bool Contains(std::string_view s, std::string_view part) { return Pos(s, part) != 0; }

// The text of a value: what follows `marker` in `block` up to the next double quote.
std::string ValueAfter(std::string_view block, std::string_view marker) {
  return TextBefore(TextAfter(block, marker), kQuote);
}

}  // namespace

std::string BuildFeedUrl(std::string_view feedId) {
  std::string url = "http://";
  url += kFeedHost;
  url += kFeedPath;
  url += feedId;
  url += "&affiliate_id=";
  url += kFeedAffiliateId;
  url += kFeedTail;
  return url;
}

std::string DecodeFeedBody(std::string_view body) {
  using namespace utf8_cp1251;
  std::string out(body.size(), '\0');
  const auto* p = reinterpret_cast<const unsigned char*>(body.data());
  const auto* const end = p + body.size();
  char* o = out.data();
  while (p < end) {
    std::size_t ascii = CopyAscii(p, end, o);
    p += ascii;
    o += ascii;
    if (p == end) break;
    unsigned char lead = *p;
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    // A stray follower, a cut sequence or a bad follower spoils the whole body.
    if (length == 0 || static_cast<std::size_t>(end - p) < length) return {};
    for (std::size_t k = 1; k < length; ++k) {
      if (!IsFollower(p[k])) return {};
    }
    long cp = DecodeChecked(p, length);
    if (cp < 0) return {};
    *o++ = FromCodePoint(static_cast<char32_t>(cp));
    p += length;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string TextAfter(std::string_view s, std::string_view marker) {
  // Signed arithmetic: the count may well be negative.
  long long count = static_cast<long long>(s.size()) - static_cast<long long>(Pos(s, marker)) -
                    static_cast<long long>(marker.size()) + 1;
  if (count <= 0) return {};
  if (count >= static_cast<long long>(s.size())) return std::string(s);
  return std::string(s.substr(s.size() - static_cast<std::size_t>(count)));
}

std::string TextBefore(std::string_view s, std::string_view marker) {
  std::size_t p = Pos(s, marker);
  return p <= 1 ? std::string() : std::string(s.substr(0, p - 1));
}

CurrentReading ExtractCurrent(std::string_view text, std::string_view hour) {
  std::string marker = "<hour value=\"";
  marker += hour;
  marker += ":00\">";
  std::string block = TextBefore(TextAfter(text, marker), kHourEnd);

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
  std::string block = TextBefore(TextAfter(text, marker), kDayEnd);
  return DayRange{ValueAfter(block, kMinimumMarker), ValueAfter(block, kMaximumMarker)};
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
