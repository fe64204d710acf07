// What the forecast window says beyond the temperature and the sky, in the words of a Russian
// forecast: feels-like, the wind on eight compass points, the pressure in mm Hg and its change,
// the humidity, when the rain or snow comes, and each day's precipitation and wind. Portable;
// Windows-1251 texts. The window lays them out, and `corvella-cli forecast` prints them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/forecast_blocks.h"

namespace corvella {

// "ощущается как -14°".
std::string FeelsText(double feels);
// "С", "СВ", "В", "ЮВ", "Ю", "ЮЗ", "З", "СЗ": the point nearest to where the wind blows from.
std::string_view CompassPoint(int degrees);
// "ветер ЮЗ, 4 м/с, порывы 9"; "штиль" below 1 m/s.
std::string WindText(const FeedWind& wind);
// "745 мм рт. ст."
std::string PressureText(int mmHg);
// "влажность 81 %"
std::string HumidityText(int percent);
// "3 мм", "0,4 мм": whole millimetres from one on; with `tenths`, "1,4 мм" too.
std::string PrecipAmountText(double mm, bool tenths = false);
// "80 %"
std::string PercentText(int percent);

// The pressure's change over the next 12 hours, told when it is 3 mm or more.
struct PressureTrend {
  bool falling = false;
  std::string text;  // "7 за 12 ч", after the arrow ▼ (falling) or ▲
};
std::optional<PressureTrend> PressureTrendOf(const std::vector<HourBlock>& hours);

// Whether an hour's precipitation is to be expected rather than merely possible.
bool PrecipLikely(const FeedPrecip& precip);

// The line above the hours: "Снег с 15:00" or "Дождь около 18:00, до 2 мм" when precipitation is
// coming and none falls now, "Без осадков" when the next 24 hours are dry; else empty (it falls
// now, or the document says nothing of precipitation).
std::string PrecipLine(const std::vector<HourBlock>& hours);

struct FlyoutDayDetails {
  std::string amount, chance;  // "3 мм", "80 %"; either may be empty
  std::string wind;            // the day's strongest mean wind, "7 м/с"; may be empty
  std::string windWords;       // "ветер З, 7 м/с, порывы 15"
};

struct FlyoutDetails {
  // Beside the temperature now, in this order and only what is known: feels-like, wind,
  // pressure, humidity. The pressure's trend goes after the pressure, behind its arrow.
  std::vector<std::string> now;
  std::optional<std::size_t> pressureAt;  // which of `now` is the pressure
  std::optional<PressureTrend> trend;
  std::string precipLine;
  std::vector<std::optional<FeedPrecip>> hourPrecip;  // one per hour
  std::vector<FlyoutDayDetails> days;                 // one per day
};
FlyoutDetails FlyoutDetailsOf(const std::vector<HourBlock>& hours, const std::vector<DayBlock>& days);

}  // namespace corvella
