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
  });
  if (c.ratesWanted) Part(out, kRates, c.rates, [&](const std::string& rate) { out += rate; });
  if (!out.empty()) out.pop_back();  // no line after the last
  return out;
}

}  // namespace corvella
