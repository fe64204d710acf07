// The forecast extractions and the search primitives on any decoded text. The first bytes
// choose the hour, the day and a marker; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "retrieval/forecast_blocks.h"
#include "retrieval/weather_feed.h"

namespace {

bool IsSuffix(std::string_view s, std::string_view part) {
  return part.size() <= s.size() && s.substr(s.size() - part.size()) == part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  if (size < 3) return 0;
  char hour[3];
  std::snprintf(hour, sizeof hour, "%02d", data[0] % 24);
  char day[9];
  std::snprintf(day, sizeof day, "2026%02d%02d", data[1] % 12 + 1, data[1] % 28 + 1);
  std::size_t markerLength = data[2] % 8;
  std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
  std::string_view marker = rest.substr(0, std::min(markerLength, rest.size()));
  std::string_view text = rest.substr(marker.size());

  std::string after = TextAfter(text, marker);
  std::string before = TextBefore(text, marker);
  if (!IsSuffix(text, after) || text.substr(0, before.size()) != before) std::abort();
  if (!before.empty() && text.substr(before.size(), marker.size()) != marker) std::abort();

  // The place's offset is within 18 hours either way, or none.
  if (std::optional<int> offset = ExtractUtcOffset(text); offset && (*offset < -64800 || *offset > 64800)) {
    std::abort();
  }

  CurrentReading reading = ExtractCurrent(text, hour);
  if (reading.skyCondition.empty()) std::abort();
  std::string icon = DeriveIconText(reading.temperatureText);
  if (icon.size() > reading.temperatureText.size() || icon.find('+') != std::string::npos) std::abort();
  std::string sign = DeriveSignedText(icon);
  if (sign.size() > icon.size() + 1) std::abort();
  DayRange range = ExtractDayRange(text, day);
  if (range.min.find('"') != std::string::npos || range.max.find('"') != std::string::npos) std::abort();

  // The one reading gives the tray exactly what the separate cuts give, and bounded lists.
  const CivilDate date{2026, data[1] % 12 + 1, data[1] % 28 + 1};
  const ForecastReading once = ReadForecast(text, hour, AddDays(date, -1));
  if (once.current.temperatureText != reading.temperatureText || once.current.skyCondition != reading.skyCondition ||
      once.tomorrow.min != range.min || once.tomorrow.max != range.max) {
    std::abort();
  }
  if (once.hours.size() > kMaxHourBlocks || once.days.size() > kMaxDayBlocks) std::abort();
  return 0;
}
