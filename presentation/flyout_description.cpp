#include "presentation/flyout_description.h"

#include <string_view>

#include "common/text_literal.h"

namespace corvella {
namespace {

constexpr std::string_view kHours = "По часам: "_cp;
constexpr std::string_view kHourMark = " ч "_cp;
constexpr std::string_view kDays = "По дням: "_cp;
constexpr std::string_view kFrom = " от "_cp;
constexpr std::string_view kTo = " до "_cp;
constexpr std::string_view kRates = "Курсы: "_cp;
constexpr std::string_view kNow = "Сейчас: "_cp;
constexpr std::string_view kFalling = ", падает на "_cp;
constexpr std::string_view kRising = ", растёт на "_cp;
constexpr std::string_view kRateUp = " выше на "_cp;
constexpr std::string_view kRateDown = " ниже на "_cp;
constexpr std::string_view kTomorrowUp = ", выше"_cp;
constexpr std::string_view kTomorrowDown = ", ниже"_cp;

// A rate as the window draws it, its arrows in words: "Доллар 92,51 выше на 0,35, завтра 92,80, выше".
std::string RateWords(const RateRow& row) {
  std::string out = row.label + " " + row.rate;
  if (row.move != RateMove::None && !row.change.empty()) {
    out += row.move == RateMove::Up ? kRateUp : kRateDown;
    out += row.change;
  }
  if (!row.tomorrow.empty()) {
    out += ", " + row.tomorrow;
    if (row.tomorrowMove != RateMove::None) out += row.tomorrowMove == RateMove::Up ? kTomorrowUp : kTomorrowDown;
  }
  return out;
}

std::string Degrees(std::optional<double> value) {
  return value ? DegreesText(*value) : std::string(FlyoutNoData());
}

// "TITLE: a; b; c", or "TITLE: нет данных", ending the line.
template <class Items, class Say>
void Part(std::string& out, std::string_view title, const Items& items, Say say) {
  out += title;
  if (items.empty()) out += FlyoutNoData();
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k > 0) out += "; ";
    say(items[k]);
  }
  out += '\n';
}

}  // namespace

std::string FlyoutDescription(const FlyoutContent& c) {
  std::string out;
  if (!c.updated.empty()) out += c.updated + "\n";
  // What the window writes beside the temperature now, the pressure's arrow in words.
  const FlyoutDetails& now = c.details;
  if (!now.now.empty()) {
    out += kNow;
    for (std::size_t k = 0; k < now.now.size(); ++k) {
      if (k > 0) out += "; ";
      out += now.now[k];
      if (now.trend && now.pressureAt == k) out += std::string(now.trend->falling ? kFalling : kRising) + now.trend->text;
    }
    out += '\n';
  }
  if (!now.precipLine.empty()) out += now.precipLine + "\n";
  Part(out, kHours, c.hours, [&](const FlyoutHour& h) {
    out += h.hour;
    out += kHourMark;
    out += Degrees(h.temperature);
    if (!h.sky.empty()) out += " " + h.sky;
  });
  Part(out, kDays, c.days, [&](const FlyoutDay& d) {
    out += d.weekday + " " + d.date;
    out += kFrom;
    out += Degrees(d.min ? std::optional<double>(*d.min) : std::nullopt);
    out += kTo;
    out += Degrees(d.max ? std::optional<double>(*d.max) : std::nullopt);
    if (!d.sky.empty()) out += " " + d.sky;
    const std::size_t k = static_cast<std::size_t>(&d - c.days.data());
    if (k < c.details.days.size()) {
      const FlyoutDayDetails& extra = c.details.days[k];
      for (const std::string* part : {&extra.amount, &extra.chance, &extra.windWords}) {
        if (!part->empty()) out += ", " + *part;
      }
    }
  });
  if (c.ratesWanted && !c.rateRows.empty()) {
    Part(out, kRates, c.rateRows, [&](const RateRow& row) { out += RateWords(row); });
  } else if (c.ratesWanted) {
    Part(out, kRates, c.rates, [&](const std::string& rate) { out += rate; });
  }
  if (!out.empty()) out.pop_back();  // no line after the last
  return out;
}

}  // namespace corvella
