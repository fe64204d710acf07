#include "gateway/feed_document.h"

#include <cmath>
#include <cstdio>

#include "common/date_time.h"
#include "gateway/weather_words.h"

namespace corvella::gateway {

namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// One decimal, as the source gives it; never "-0.0".
std::string OneDecimal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  std::string s = buf;
  return s == "-0.0" ? "0.0" : s;
}

std::string WholeDegrees(double v) { return std::to_string(std::lround(v)); }

const HourForecast* HourAt(const PlaceForecast& f, std::int64_t utc) {
  if (f.hours.empty() || utc < f.hours.front().utc) return nullptr;
  auto i = static_cast<std::size_t>((utc - f.hours.front().utc) / 3600);
  if (i >= f.hours.size() || f.hours[i].utc != utc) return nullptr;
  return &f.hours[i];
}

const DayForecast* DayAt(const PlaceForecast& f, std::int64_t localDay) {
  if (f.days.empty() || localDay < f.days.front().localDay) return nullptr;
  auto i = static_cast<std::size_t>(localDay - f.days.front().localDay);
  return i < f.days.size() ? &f.days[i] : nullptr;
}

void AppendSymbol(std::string& doc, int code, std::string_view words) {
  doc += "<symbol value=\"" + std::to_string(code) + "\" desc=\"";
  doc += words;
  doc += "\"/>";
}

}  // namespace

std::int64_t LocalHourStart(const PlaceForecast& forecast, std::int64_t nowUtc) {
  std::int64_t local = nowUtc + forecast.utcOffsetSeconds;
  return FloorDiv(local, 3600) * 3600 - forecast.utcOffsetSeconds;
}

std::optional<std::string> RenderFeedDocument(const PlaceForecast& forecast, std::string_view feedId,
                                              std::int64_t nowUtc) {
  std::string doc;
  doc.reserve(4096);
  doc += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  doc += "<!-- Weather data by Open-Meteo.com, licensed CC BY 4.0 (https://open-meteo.com/) -->\n";
  doc += "<report>\n<location id=\"";
  doc += feedId;
  doc += "\" utc_offset=\"" + std::to_string(forecast.utcOffsetSeconds) + "\">\n";

  const std::int64_t today = FloorDiv(nowUtc + forecast.utcOffsetSeconds, 86400);
  for (int d = 0; d < kFeedDays; ++d) {
    const DayForecast* day = DayAt(forecast, today + d);
    if (!day) {
      if (d < kFeedDaysRead) return std::nullopt;
      break;
    }
    CivilDate date = CivilFromDays(DaysFromCivil(1970, 1, 1) + today + d);
    doc += "<day value=\"" + FormatYmd(date) + "\"><tempmin value=\"" + WholeDegrees(day->min) +
           "\"/><tempmax value=\"" + WholeDegrees(day->max) + "\"/>";
    if (std::optional<std::string_view> words = WeatherWords(day->code)) AppendSymbol(doc, day->code, *words);
    doc += "</day>\n";
  }

  const std::int64_t first = LocalHourStart(forecast, nowUtc);
  for (int h = 0; h < kFeedHours; ++h) {
    const std::int64_t utc = first + std::int64_t{h} * 3600;
    const HourForecast* hour = HourAt(forecast, utc);
    if (!hour) {
      if (h == 0) return std::nullopt;
      break;
    }
    double temperature = hour->temperature;
    int code = hour->code;
    // The current hour shows what was observed, when the observation belongs to it.
    if (h == 0 && forecast.currentUtc >= utc && forecast.currentUtc < utc + 3600) {
      temperature = forecast.currentTemperature;
      code = forecast.currentCode;
    }
    std::optional<std::string_view> words = WeatherWords(code);
    if (!words) return std::nullopt;
    char value[8];
    std::snprintf(value, sizeof value, "%02d:00",
                  static_cast<int>(FloorDiv(utc + forecast.utcOffsetSeconds, 3600) % 24));
    doc += "<hour value=\"";
    doc += value;
    doc += "\"><temp value=\"" + OneDecimal(temperature) + "\"/>";
    AppendSymbol(doc, code, *words);
    doc += "</hour>\n";
  }
  doc += "</location>\n</report>\n";
  return doc;
}

}  // namespace corvella::gateway
