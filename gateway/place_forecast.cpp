#include "gateway/place_forecast.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace corvella::gateway {

namespace {

using nlohmann::json;

// A grid cell's centre is within a few kilometres of the point asked for.
constexpr double kMaxGridDistanceDegrees = 0.5;

bool IsInt(const json& v) { return v.is_number_integer() || v.is_number_unsigned(); }

const json* Member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

// The hourly variables a place can do without, with the values no weather has: such a value, a
// null, or an array that is missing or of another length leaves the value out, never the place.
struct DetailSeries {
  const char* name;
  double lowest, highest;
  std::optional<double> HourDetails::*field;
};
constexpr DetailSeries kDetailSeries[] = {
    {"apparent_temperature", -100, 70, &HourDetails::feels},
    {"wind_speed_10m", 0, 150, &HourDetails::windSpeed},
    {"wind_gusts_10m", 0, 200, &HourDetails::windGust},
    {"wind_direction_10m", 0, 360, &HourDetails::windFrom},
    {"surface_pressure", 300, 1100, &HourDetails::pressure},
    {"relative_humidity_2m", 0, 100, &HourDetails::humidity},
    {"precipitation", 0, 500, &HourDetails::precip},
    {"precipitation_probability", 0, 100, &HourDetails::precipChance},
};

void ReadDetails(const json& hourly, std::size_t length, std::vector<HourForecast>& out) {
  for (const DetailSeries& series : kDetailSeries) {
    const json* values = Member(hourly, series.name);
    if (!values || !values->is_array() || values->size() != length) continue;
    for (std::size_t i = 0; i < out.size(); ++i) {
      const json& v = (*values)[i];
      if (!v.is_number()) continue;
      const double value = v.get<double>();
      if (value >= series.lowest && value <= series.highest) out[i].details.*series.field = value;
    }
  }
}

// Whether every value of `a` from `i` on is null.
bool NullsToEnd(const json& a, std::size_t i) {
  for (; i < a.size(); ++i) {
    if (!a[i].is_null()) return false;
  }
  return true;
}

// Parallel arrays of the same, non-zero length. Trailing nulls end the set early: the source
// sends them where its model's range ends. Any other null, or anything else out of place, makes
// the whole set unusable, since a missing hour or day would put the wrong value under a marker.
bool ReadHours(const json& hourly, std::vector<HourForecast>& out) {
  const json* time = Member(hourly, "time");
  const json* temp = Member(hourly, "temperature_2m");
  const json* code = Member(hourly, "weather_code");
  if (!time || !temp || !code || !time->is_array() || !temp->is_array() || !code->is_array()) return false;
  if (time->empty() || time->size() != temp->size() || time->size() != code->size()) return false;
  for (std::size_t i = 0; i < time->size(); ++i) {
    const json& t = (*time)[i];
    const json& v = (*temp)[i];
    const json& c = (*code)[i];
    if (!IsInt(t)) return false;
    if (v.is_null() || c.is_null()) {
      if (NullsToEnd(*temp, i) || NullsToEnd(*code, i)) break;
      return false;
    }
    if (!v.is_number() || !IsInt(c)) return false;
    HourForecast h{t.get<std::int64_t>(), v.get<double>(), c.get<int>(), {}};
    if (!out.empty() && h.utc != out.back().utc + 3600) return false;
    out.push_back(h);
  }
  ReadDetails(hourly, time->size(), out);
  return true;
}

// The day's weather code is optional: without it (or where it is null) the day has no sky.
bool ReadDays(const json& daily, std::int64_t offset, std::vector<DayForecast>& out) {
  const json* time = Member(daily, "time");
  const json* max = Member(daily, "temperature_2m_max");
  const json* min = Member(daily, "temperature_2m_min");
  const json* code = Member(daily, "weather_code");
  if (!time || !max || !min || !time->is_array() || !max->is_array() || !min->is_array()) return false;
  if (time->empty() || time->size() != max->size() || time->size() != min->size()) return false;
  if (code && (!code->is_array() || code->size() != time->size())) return false;
  for (std::size_t i = 0; i < time->size(); ++i) {
    const json& t = (*time)[i];
    if (!IsInt(t)) return false;
    if ((*min)[i].is_null() || (*max)[i].is_null()) {
      if (NullsToEnd(*min, i) || NullsToEnd(*max, i)) break;
      return false;
    }
    if (!(*min)[i].is_number() || !(*max)[i].is_number()) return false;
    // A day's time is its local midnight as a UTC instant.
    std::int64_t local = t.get<std::int64_t>() + offset;
    DayForecast d{local >= 0 ? local / 86400 : (local - 86399) / 86400, (*min)[i].get<double>(),
                  (*max)[i].get<double>()};
    if (code && IsInt((*code)[i])) d.code = (*code)[i].get<int>();
    if (d.min > d.max) return false;
    if (!out.empty() && d.localDay != out.back().localDay + 1) return false;
    out.push_back(d);
  }
  return true;
}

std::optional<PlaceForecast> ReadPlace(const json& o, const Coordinates& asked) {
  const json* lat = Member(o, "latitude");
  const json* lon = Member(o, "longitude");
  const json* offset = Member(o, "utc_offset_seconds");
  const json* current = Member(o, "current");
  const json* hourly = Member(o, "hourly");
  const json* daily = Member(o, "daily");
  if (!lat || !lon || !offset || !current || !hourly || !daily) return std::nullopt;
  if (!lat->is_number() || !lon->is_number() || !IsInt(*offset)) return std::nullopt;
  if (std::fabs(lat->get<double>() - asked.latitude) > kMaxGridDistanceDegrees ||
      std::fabs(lon->get<double>() - asked.longitude) > kMaxGridDistanceDegrees) {
    return std::nullopt;
  }
  PlaceForecast p;
  p.utcOffsetSeconds = offset->get<std::int64_t>();
  if (p.utcOffsetSeconds < -14 * 3600 || p.utcOffsetSeconds > 14 * 3600) return std::nullopt;
  const json* ct = Member(*current, "time");
  const json* cv = Member(*current, "temperature_2m");
  const json* cc = Member(*current, "weather_code");
  if (!ct || !cv || !cc || !IsInt(*ct) || !cv->is_number() || !IsInt(*cc)) return std::nullopt;
  p.currentUtc = ct->get<std::int64_t>();
  p.currentTemperature = cv->get<double>();
  p.currentCode = cc->get<int>();
  if (!ReadHours(*hourly, p.hours) || !ReadDays(*daily, p.utcOffsetSeconds, p.days)) return std::nullopt;
  return p;
}

}  // namespace

BatchReply ReadForecastReply(std::string_view body, const std::vector<Coordinates>& asked) {
  BatchReply reply;
  reply.places.resize(asked.size());
  json doc = json::parse(body.begin(), body.end(), nullptr, false);
  if (doc.is_discarded()) {
    reply.error = "forecast reply is not JSON";
    return reply;
  }
  if (doc.is_object() && Member(doc, "error")) {
    reply.error = "forecast error: " + ErrorReason(body);
    return reply;
  }
  if (asked.size() == 1 && doc.is_object()) {
    reply.places[0] = ReadPlace(doc, asked[0]);
    return reply;
  }
  if (!doc.is_array() || doc.size() != asked.size()) {
    reply.error = "forecast reply has " + std::to_string(doc.is_array() ? doc.size() : 1) + " places for " +
                  std::to_string(asked.size()) + " asked";
    return reply;
  }
  for (std::size_t i = 0; i < asked.size(); ++i) reply.places[i] = ReadPlace(doc[i], asked[i]);
  return reply;
}

std::string ErrorReason(std::string_view body) {
  json doc = json::parse(body.begin(), body.end(), nullptr, false);
  const json* reason = doc.is_discarded() ? nullptr : Member(doc, "reason");
  return reason && reason->is_string() ? reason->get<std::string>() : std::string();
}

}  // namespace corvella::gateway
