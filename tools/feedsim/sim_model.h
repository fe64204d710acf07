// What feedsim serves, computed from the location id and the date alone, so that a test
// can compute the same values the server put on the wire. All texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"

namespace corvella::feedsim {

// The six sky words a description leads the program to.
enum class Sky { Clear, Snow, Overcast, Rain, Cloudy, Thunder };
// The word itself ("Ясно", "Снег", ...), UTF-8.
std::string_view SkyWord(Sky sky);

// The wind and precipitation of an hour or a day, as the document writes them.
struct SimWind {
  int speed = 0, gust = 0, from = 0;  // m/s, m/s, degrees
};
struct SimPrecip {
  std::string amount;  // mm, one decimal: "0.4"
  int chance = 0;      // %
};

struct SimHour {
  int hour = 0;             // 0..23
  std::string temperature;  // as in the document: "12", "-3", "-2.8"
  std::string description;  // Russian sky description
  Sky sky = Sky::Clear;     // what the description stands for
  std::string feels = {};  // apparent temperature, one decimal
  SimWind wind = {};
  int pressure = 0;  // mm Hg
  int humidity = 0;  // %
  SimPrecip precip = {};
};

struct SimDay {
  CivilDate date;
  std::string min, max;        // whole degrees as text
  std::string description;     // the day's overall sky
  Sky sky = Sky::Clear;        // what that description stands for
  SimPrecip precip;            // the day's sum and highest chance
  SimWind wind;                // the day's strongest wind
  std::vector<SimHour> hours;  // all 24 for today and tomorrow, none later
};

struct SimForecast {
  std::string locationId;
  std::vector<SimDay> days;  // today and the next four days
  // Stated on the place's element as utc_offset="..." when set, as the gateway does.
  std::optional<int> utcOffsetSeconds;
};

// Deterministic per (location id, today, cold). `cold` keeps every temperature below zero.
SimForecast MakeForecast(std::string_view locationId, const CivilDate& today, bool cold);
std::string RenderForecast(const SimForecast& forecast);

struct SimRate {
  std::string digitalCode, letterCode;
  int units = 1;
  std::string name;  // as the bank's table writes it
  std::string rate;  // decimal comma, four places
  // The cells after the rate, as the gateway writes them: the change since the previous
  // published rate ("+0,3511"), tomorrow's rate and its date, the last 30 rates oldest first.
  std::string change, tomorrow, tomorrowDate, history;
};

// The day's table: the program's ten currencies among the others. Lists are published for
// Tuesday to Saturday; tomorrow's is always out.
std::vector<SimRate> MakeRates(const CivilDate& today);
std::string RenderRatesPage(const std::vector<SimRate>& rates, const CivilDate& today);

// A small random generator, the same on every platform.
class SimRandom {
 public:
  explicit SimRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  int Range(int lo, int hi);  // lo..hi inclusive
 private:
  std::uint64_t state_;
};

std::uint64_t SimSeed(std::string_view text, const CivilDate& date);

}  // namespace corvella::feedsim
