#include "presentation/forecast_details.h"

#include <cmath>

#include "common/text_literal.h"
#include "presentation/forecast_layout.h"

namespace corvella {
namespace {

constexpr std::string_view kFeels = "ощущается как "_cp;
constexpr std::string_view kWind = "ветер "_cp;
constexpr std::string_view kCalm = "штиль"_cp;
constexpr std::string_view kMetresPerSecond = " м/с"_cp;
constexpr std::string_view kGusts = ", порывы "_cp;
constexpr std::string_view kMmHg = " мм рт. ст."_cp;
constexpr std::string_view kTrendHours = " за 12 ч"_cp;
constexpr std::string_view kHumidity = "влажность "_cp;
constexpr std::string_view kMm = " мм"_cp;
constexpr std::string_view kDry = "Без осадков"_cp;
constexpr std::string_view kFrom = " с "_cp;
constexpr std::string_view kAround = " около "_cp;
constexpr std::string_view kUpTo = ", до "_cp;
constexpr std::string_view kSnow = "Снег"_cp;
constexpr std::string_view kRain = "Дождь"_cp;
constexpr std::string_view kStorm = "Гроза"_cp;
constexpr std::string_view kPoints[] = {"С"_cp, "СВ"_cp, "В"_cp, "ЮВ"_cp, "Ю"_cp, "ЮЗ"_cp, "З"_cp, "СЗ"_cp};

constexpr int kTrendHoursAhead = 12;
constexpr int kTrendTold = 3;           // mm Hg
constexpr double kWet = 0.05;           // mm: the document's one decimal shows something
constexpr int kLikelyPercent = 50;
constexpr std::size_t kLongSpell = 3;   // hours: "с 15:00" rather than "около 15:00"

bool Wet(const HourBlock& h) { return h.details.precip && h.details.precip->amount >= kWet; }

// What falls in the hour: its sky says so, or else its temperature.
std::string_view FallingKind(const HourBlock& h) {
  if (h.sky == kSnow || h.sky == kRain || h.sky == kStorm) return h.sky;
  const std::optional<double> t = ParseTemperature(h.temperature);
  return t && *t <= 0 ? kSnow : kRain;
}

}  // namespace

std::string FeelsText(double feels) {
  std::string text(kFeels);
  text += DegreesText(feels);
  return text;
}

std::string_view CompassPoint(int degrees) {
  const int normal = (degrees % 360 + 360) % 360;
  return kPoints[static_cast<std::size_t>((normal * 2 + 45) / 90 % 8)];
}

std::string WindText(const FeedWind& wind) {
  if (wind.speed < 1) return std::string(kCalm);
  std::string text(kWind);
  if (wind.from) {
    text += CompassPoint(*wind.from);
    text += ", ";
  }
  text += std::to_string(wind.speed);
  text += kMetresPerSecond;
  if (wind.gust && *wind.gust > wind.speed) {
    text += kGusts;
    text += std::to_string(*wind.gust);
  }
  return text;
}

std::string PressureText(int mmHg) { return std::to_string(mmHg) + std::string(kMmHg); }

std::string HumidityText(int percent) { return std::string(kHumidity) + PercentText(percent); }

std::string PercentText(int percent) { return std::to_string(percent) + " %"; }

std::string PrecipAmountText(double mm, bool tenths) {
  if (!tenths && (mm >= 0.95 || mm < kWet)) return std::to_string(std::lround(mm)) + std::string(kMm);
  const long value = std::lround(mm * 10);
  return std::to_string(value / 10) + "," + std::to_string(value % 10) + std::string(kMm);
}

std::optional<PressureTrend> PressureTrendOf(const std::vector<HourBlock>& hours) {
  if (hours.size() <= kTrendHoursAhead) return std::nullopt;
  const std::optional<int> now = hours.front().details.pressure, later = hours[kTrendHoursAhead].details.pressure;
  if (!now || !later || std::abs(*later - *now) < kTrendTold) return std::nullopt;
  return PressureTrend{*later < *now, std::to_string(std::abs(*later - *now)) + std::string(kTrendHours)};
}

bool PrecipLikely(const FeedPrecip& precip) {
  return precip.amount >= kWet && precip.chance.value_or(100) >= kLikelyPercent;
}

std::string PrecipLine(const std::vector<HourBlock>& hours) {
  const std::size_t count = std::min<std::size_t>(hours.size(), 24);
  if (count == 0 || Wet(hours[0])) return {};
  std::size_t first = 1;
  while (first < count && !Wet(hours[first])) ++first;
  if (first == count) {
    for (std::size_t k = 0; k < count; ++k) {
      if (!hours[k].details.precip) return {};
    }
    return std::string(kDry);
  }
  // The spell: the wet hours from the first on, while the same kind falls.
  const std::string_view kind = FallingKind(hours[first]);
  std::size_t end = first;
  double total = 0;
  for (; end < count && Wet(hours[end]) && FallingKind(hours[end]) == kind; ++end)
    total += hours[end].details.precip->amount;
  std::string line(kind);
  line += end - first >= kLongSpell ? kFrom : kAround;
  line += hours[first].hour + ":00";
  if (total >= 0.95) {
    line += kUpTo;
    line += std::to_string(static_cast<long>(std::ceil(total - 0.05)));
    line += kMm;
  }
  return line;
}

FlyoutDetails FlyoutDetailsOf(const std::vector<HourBlock>& hours, const std::vector<DayBlock>& days) {
  FlyoutDetails d;
  if (!hours.empty()) {
    const HourDetails& now = hours.front().details;
    if (now.feels) d.now.push_back(FeelsText(*now.feels));
    if (now.wind) d.now.push_back(WindText(*now.wind));
    if (now.pressure) {
      d.pressureAt = d.now.size();
      d.now.push_back(PressureText(*now.pressure));
      d.trend = PressureTrendOf(hours);
    }
    if (now.humidity) d.now.push_back(HumidityText(*now.humidity));
  }
  d.precipLine = PrecipLine(hours);
  for (const HourBlock& h : hours) d.hourPrecip.push_back(h.details.precip);
  for (const DayBlock& day : days) {
    FlyoutDayDetails extra;
    if (day.precip) {
      extra.amount = PrecipAmountText(day.precip->amount);
      if (day.precip->chance) extra.chance = PercentText(*day.precip->chance);
    }
    if (day.wind) {
      extra.windWords = WindText(*day.wind);
      // Only the speed: in a narrow column a lone "З" reads as a three.
      extra.wind =
          day.wind->speed < 1 ? std::string(kCalm) : std::to_string(day.wind->speed) + std::string(kMetresPerSecond);
    }
    d.days.push_back(std::move(extra));
  }
  return d;
}

}  // namespace corvella
