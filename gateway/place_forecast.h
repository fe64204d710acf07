// One place's forecast as the forecast source gives it, read from its JSON reply.
// Times are Unix seconds (UTC); local time is UTC plus the place's offset.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvella::gateway {

struct Coordinates {
  double latitude = 0;
  double longitude = 0;
};

// What the source may leave out for an hour (a null, or a variable it did not send): each
// value on its own, in the units asked for.
struct HourDetails {
  std::optional<double> feels;         // apparent temperature, °C
  std::optional<double> windSpeed;     // mean wind at 10 m, m/s
  std::optional<double> windGust;      // m/s
  std::optional<double> windFrom;      // degrees, where the wind blows from
  std::optional<double> pressure;      // at the surface, hPa
  std::optional<double> humidity;      // relative, at 2 m, %
  std::optional<double> precip;        // mm in the hour before `utc`
  std::optional<double> precipChance;  // %, of the hour before `utc`
};

struct HourForecast {
  std::int64_t utc = 0;  // start of the hour
  double temperature = 0;
  int code = 0;  // WMO weather code
  HourDetails details;
};

struct DayForecast {
  std::int64_t localDay = 0;  // days since 1970-01-01 in the place's local calendar
  double min = 0, max = 0;
  int code = -1;  // WMO weather code of the day; -1 when the source gave none
};

struct PlaceForecast {
  std::int64_t utcOffsetSeconds = 0;
  std::int64_t currentUtc = 0;  // when the current values were observed
  double currentTemperature = 0;
  int currentCode = 0;
  // Ascending, one apart. Where the source's model range ends it sends nulls: the hours and days
  // stop before the first of them.
  std::vector<HourForecast> hours;
  std::vector<DayForecast> days;
};

// The reply to a request for `asked.size()` places: one object for a single place, an array in
// the order asked otherwise. Each entry is empty when its object is malformed or its grid cell
// lies too far from the coordinates asked (a reply out of order must not put one town's weather
// under another's name). `error` is set, and every entry empty, when the body as a whole is
// unusable: not JSON, an error object, or an array of the wrong length.
struct BatchReply {
  std::vector<std::optional<PlaceForecast>> places;
  std::string error;
};
BatchReply ReadForecastReply(std::string_view body, const std::vector<Coordinates>& asked);

// The "reason" of an error reply ({"error":true,"reason":...}), or the empty text.
std::string ErrorReason(std::string_view body);

}  // namespace corvella::gateway
