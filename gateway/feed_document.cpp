#include "gateway/feed_document.h"

#include <algorithm>
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

std::string Whole(double v) { return std::to_string(std::lround(v)); }

constexpr double kMmHgPerHpa = 0.750062;

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

void AppendWind(std::string& doc, const HourDetails& d) {
  if (!d.windSpeed) return;
  doc += "<wind speed=\"" + Whole(*d.windSpeed) + "\"";
  if (d.windGust) doc += " gust=\"" + Whole(*d.windGust) + "\"";
  if (d.windFrom) doc += " dir=\"" + std::to_string(std::lround(*d.windFrom) % 360) + "\"";
  doc += "/>";
}

void AppendPrecip(std::string& doc, const HourDetails& d) {
  if (!d.precip) return;
  doc += "<precip value=\"" + OneDecimal(*d.precip) + "\"";
  if (d.precipChance) doc += " prob=\"" + Whole(*d.precipChance) + "\"";
  doc += "/>";
}

// An hour block's values. The source files an hour's precipitation under the hour's end: the
// block of 15:00 takes what it says at 16:00, so that "rain from 15:00" is when rain begins.
HourDetails BlockDetails(const PlaceForecast& f, std::int64_t utc) {
  HourDetails d;
  if (const HourForecast* hour = HourAt(f, utc)) d = hour->details;
  const HourForecast* next = HourAt(f, utc + 3600);
  d.precip = next ? next->details.precip : std::nullopt;
  d.precipChance = next ? next->details.precipChance : std::nullopt;
  return d;
}

// A day's precipitation and wind from its 24 hour blocks: the sum and the highest chance, the
// strongest mean wind and gust, and the direction of the hours' mean wind. A value that one of
// the hours lacks is left out, so that a day the forecast cuts short never reads drier or calmer.
HourDetails DayDetails(const PlaceForecast& f, std::int64_t localDay) {
  HourDetails day;
  day.precip = day.precipChance = day.windSpeed = day.windGust = 0.0;
  double east = 0, north = 0;
  bool directions = true;
  const std::int64_t first = localDay * 86400 - f.utcOffsetSeconds;
  auto fold = [](std::optional<double>& into, const std::optional<double>& v, bool sum) {
    if (into && v) {
      into = sum ? *into + *v : std::max(*into, *v);
    } else {
      into.reset();
    }
  };
  for (int h = 0; h < 24; ++h) {
    const HourDetails d = BlockDetails(f, first + std::int64_t{h} * 3600);
    fold(day.precip, d.precip, true);
    fold(day.precipChance, d.precipChance, false);
    fold(day.windSpeed, d.windSpeed, false);
    fold(day.windGust, d.windGust, false);
    directions = directions && d.windSpeed && d.windFrom;
    if (directions) {
      const double radians = *d.windFrom * 3.141592653589793 / 180.0;
      east += *d.windSpeed * std::sin(radians);
      north += *d.windSpeed * std::cos(radians);
    }
  }
  if (directions && std::hypot(east, north) > 0.01) {
    const double degrees = std::atan2(east, north) * 180.0 / 3.141592653589793;
    day.windFrom = degrees < 0 ? degrees + 360.0 : degrees;
  }
  return day;
}

}  // namespace

std::int64_t LocalHourStart(const PlaceForecast& forecast, std::int64_t nowUtc) {
  std::int64_t local = nowUtc + forecast.utcOffsetSeconds;
  return FloorDiv(local, 3600) * 3600 - forecast.utcOffsetSeconds;
}

std::optional<std::string> RenderFeedDocument(const PlaceForecast& forecast, std::string_view feedId,
                                              std::int64_t nowUtc) {
  std::string doc;
  doc.reserve(8192);
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
    doc += "<day value=\"" + FormatYmd(date) + "\"><tempmin value=\"" + Whole(day->min) +
           "\"/><tempmax value=\"" + Whole(day->max) + "\"/>";
    if (std::optional<std::string_view> words = WeatherWords(day->code)) AppendSymbol(doc, day->code, *words);
    const HourDetails details = DayDetails(forecast, today + d);
    AppendPrecip(doc, details);
    AppendWind(doc, details);
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
    const HourDetails details = BlockDetails(forecast, utc);
    if (details.feels) doc += "<feels value=\"" + OneDecimal(*details.feels) + "\"/>";
    AppendWind(doc, details);
    if (details.pressure) doc += "<pressure value=\"" + Whole(*details.pressure * kMmHgPerHpa) + "\"/>";
    if (details.humidity) doc += "<humidity value=\"" + Whole(*details.humidity) + "\"/>";
    AppendPrecip(doc, details);
    doc += "</hour>\n";
  }
  doc += "</location>\n</report>\n";
  return doc;
}

}  // namespace corvella::gateway
