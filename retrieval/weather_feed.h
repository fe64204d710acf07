// The weather feed: the forecast request for one location, the decoding of its body and
// the few values cut out of the document by plain text search (no XML parser).
// Every function here is pure and accepts any input.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/text_search.h"

namespace corvella {

class HttpClient;

// The markers every value is found by, quote characters included.
namespace feed_markers {
inline constexpr std::string_view kHourEnd = "</hour>";
inline constexpr std::string_view kTemperatureMarker = "<temp value=\"";
inline constexpr std::string_view kDescriptionMarker = "desc=\"";
inline constexpr std::string_view kDayEnd = "</day>";
inline constexpr std::string_view kMinimumMarker = "<tempmin value=\"";
inline constexpr std::string_view kMaximumMarker = "<tempmax value=\"";
inline constexpr std::string_view kQuote = "\"";
}  // namespace feed_markers

// The program's affiliate identifier, sent with every forecast request.
inline constexpr std::string_view kFeedAffiliateId = "qk3d8w2mzx7e";

// "http://<feed host>/index.php?api_lang=ru&localidad=<feedId>&affiliate_id=...&v=2&h=1";
// the id goes in unchanged.
std::string BuildFeedUrl(std::string_view feedId);

// Strict UTF-8 to Windows-1251: the whole result is empty when the body is not valid
// UTF-8 (a cut or malformed sequence anywhere); characters the code page lacks become "?".
std::string DecodeFeedBody(std::string_view body);

struct CurrentReading {
  std::string temperatureText;  // the feed's value and "°", or empty
  std::string skyCondition;  // "Ясно", "Снег", "Пасмурно", "Дождь", "Облачно" or "Гроза"
};
// The reading of the hour block for `hour` ("00".."23").
CurrentReading ExtractCurrent(std::string_view text, std::string_view hour);
// The same reading of an hour block already cut out.
CurrentReading CurrentInBlock(std::string_view block);

// The sky word a description leads to: "Ясно" unless one of the five others matches.
std::string SkyOf(std::string_view description);

struct DayRange {
  std::string min, max;  // raw text, no degree sign
};
// The minimum and maximum of the day block for `day` ("yyyymmdd").
DayRange ExtractDayRange(std::string_view text, std::string_view day);
// The same of a day block already cut out.
DayRange DayRangeInBlock(std::string_view block);

// The place's offset from UTC in seconds, from the utc_offset attribute of the element that
// opens the place (<location ... utc_offset="36000">). None when the document states none or
// states something no place on Earth has (beyond 18 hours, not a plain whole number): the
// hours and days are then read by the computer's own clock.
std::optional<int> ExtractUtcOffset(std::string_view text);

// The temperature for the tray icon: the fraction (and with it the degree sign) cut off,
// every "+" removed. Meant for a temperature text that holds "°".
std::string DeriveIconText(std::string_view temperatureText);
// The icon text with an explicit sign, for the widget.
std::string DeriveSignedText(std::string_view iconText);

// Request settings of every forecast attempt; they stay on the client for the rest of the
// pass: redirects followed, forced parameter encoding, HTTP/1.1, the program's user agent.
void ApplyFeedRequestSettings(HttpClient& client);

}  // namespace corvella
