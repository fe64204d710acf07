// "forecast": the passes "pass" runs, printed as the forecast window shows their outcome, in
// its words, one line a line: the place, the weather now with feels-like, wind, pressure and
// humidity, the precipitation line, the hours, the days and the currency lines. UTF-8.
#include <cstdio>
#include <string>

#include "common/text_literal.h"
#include "presentation/forecast_layout.h"
#include "presentation/rate_lines.h"
#include "retrieval/forecast_snapshot.h"
#include "shell/refresh_pass.h"
#include "tools/corvella-cli/commands.h"

namespace corvella::cli {
namespace {

constexpr std::string_view kNow = "Сейчас "_cp;
constexpr std::string_view kDash = "–"_cp;
constexpr std::string_view kRange = " … "_cp;
const std::string kPartGap = ", ";
// The pressure's arrows, which Windows-1251 lacks: the window draws them, here they are UTF-8.
constexpr std::string_view kFalling = "▼ ";
constexpr std::string_view kRising = "▲ ";

void Line(const std::string& cp1251) {
  PrintUtf8(stdout, cp1251);
  std::fputc('\n', stdout);
}

// "..., 745 мм рт. ст. ▼ 7 за 12 ч, ...": the arrow goes out as UTF-8 between two pieces.
void NowLine(const FlyoutContent& c) {
  std::string line(kNow);
  line += c.nowTemperature.empty() ? std::string(FlyoutNoData()) : c.nowTemperature;
  const std::string& words = c.nowWords.empty() ? c.nowSky : c.nowWords;
  if (!c.nowTemperature.empty() && !words.empty()) line += " " + words;
  const FlyoutDetails& d = c.details;
  for (std::size_t k = 0; k < d.now.size(); ++k) {
    line += kPartGap;
    line += d.now[k];
    if (d.trend && d.pressureAt == k) {
      PrintUtf8(stdout, line + " ");
      std::fputs(std::string(d.trend->falling ? kFalling : kRising).c_str(), stdout);
      line = d.trend->text;
    }
  }
  Line(line);
}

void HourLines(const FlyoutContent& c) {
  for (std::size_t k = 0; k < c.hours.size(); ++k) {
    const FlyoutHour& h = c.hours[k];
    std::string line = h.hour + ":00 " + (h.temperature ? DegreesText(*h.temperature) : std::string(kDash));
    if (!h.sky.empty()) line += " " + h.sky;
    if (k < c.details.hourPrecip.size() && c.details.hourPrecip[k] && c.details.hourPrecip[k]->amount >= 0.05) {
      const FeedPrecip& p = *c.details.hourPrecip[k];
      line += kPartGap + PrecipAmountText(p.amount, true);
      if (p.chance) line += kPartGap + PercentText(*p.chance);
    }
    Line(line);
  }
}

void DayLines(const FlyoutContent& c) {
  for (std::size_t k = 0; k < c.days.size(); ++k) {
    const FlyoutDay& d = c.days[k];
    std::string line = d.weekday + " " + d.date + " ";
    line += d.min ? DegreesText(*d.min) : std::string(kDash);
    line += kRange;
    line += d.max ? DegreesText(*d.max) : std::string(kDash);
    if (!d.sky.empty()) line += " " + d.sky;
    if (k < c.details.days.size()) {
      const FlyoutDayDetails& extra = c.details.days[k];
      for (const std::string* part : {&extra.amount, &extra.chance, &extra.windWords}) {
        if (!part->empty()) line += kPartGap + *part;
      }
    }
    Line(line);
  }
}

void PrintForecast(const ForecastSnapshot& snapshot) {
  const FlyoutContent c = FlyoutContentOf(snapshot, !snapshot.rateLines.empty());
  std::string place = c.place.empty() ? std::string(FlyoutNoData()) : c.place;
  if (!c.region.empty()) place += kPartGap + c.region;
  if (!c.updated.empty()) place += kPartGap + c.updated;
  Line(place);
  NowLine(c);
  if (!c.details.precipLine.empty()) Line(c.details.precipLine);
  if (!c.hours.empty()) {
    Line("");
    HourLines(c);
  }
  if (!c.days.empty()) {
    Line("");
    DayLines(c);
  }
  if (!c.rateRows.empty()) {
    // Each rate with its change, tomorrow's rate and its month, as the window shows them.
    Line("");
    for (const std::string& rate : RateLinesUtf8(c.rateRows)) std::printf("%s\n", rate.c_str());
  } else if (!c.rates.empty()) {
    Line("");
    for (const std::string& rate : c.rates) Line(rate);
  }
  std::fflush(stdout);
}

}  // namespace

int RunForecast(Args args) {
  return RunPasses(args, "forecast", [](const RefreshPass& pass, const std::string&) { PrintForecast(pass.Snapshot()); });
}

}  // namespace corvella::cli
