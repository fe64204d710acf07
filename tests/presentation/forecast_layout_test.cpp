// Where the forecast window puts things: every DPI, extreme and flat days, missing parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/text_literal.h"
#include "presentation/forecast_layout.h"
#include "retrieval/forecast_snapshot.h"

namespace corvella {
namespace {

constexpr int kDpis[] = {96, 120, 144, 168, 192};

// Wider than Segoe UI or Tahoma at every size: two thirds of the font's height a character.
FlyoutMeasure MeasureAt(int dpi) {
  return [dpi](std::string_view text, FlyoutFont font) {
    return static_cast<int>(text.size()) * FlyoutFontPixels(font, dpi) * 2 / 3;
  };
}

std::string Str(std::string_view s) { return std::string(s); }

ForecastSnapshot Full(double (*temperature)(int)) {
  ForecastSnapshot s;
  s.place = "Верхние Выселки"_cp;
  s.region = "Новосибирская область"_cp;
  s.updatedAt = "14:05";
  for (int k = 0; k < 24; ++k) {
    const std::string hour = std::to_string(100 + (14 + k) % 24).substr(1);
    s.hours.push_back({hour, std::to_string(temperature(k)), Str("Облачно"_cp), Str("Облачно, небольшой дождь"_cp)});
    // Feels-like, wind, a pressure falling 12 mm in 12 hours, humidity, rain from 19:00 to 22:00.
    s.hours.back().details = {-14.2, FeedWind{14, 29, 225}, 760 - k, 100, FeedPrecip{k >= 5 && k < 9 ? 12.6 : 0.0, 100}};
  }
  for (int d = 0; d < 7; ++d) {
    s.days.push_back({"2026120" + std::to_string(d + 1), "-50", "+45.4", Str("Снег"_cp), Str("снег"_cp)});
    s.days.back().precip = FeedPrecip{23.2, 100};
    s.days.back().wind = FeedWind{17, 35, 315};
  }
  for (std::string_view rate : {"Доллар США: 92,5130"_cp, "Евро: 99,1200"_cp, "Юань: 12,7000"_cp, "Тенге (100): 18,1000"_cp})
    s.rateLines.push_back(Str(rate));
  // All ten currencies with every part of their lines.
  std::string history;
  for (int k = 0; k < 30; ++k) history += std::to_string(100 + k % 7) + (k < 29 ? ",1234 " : ",1234");
  for (const CurrencyRow& c : kCurrencies)
    s.rateDetails.push_back({Str(c.label), "115,6333", "-10,3511", "115,8000", "09.12.2026", history});
  return s;
}

// Where a text's ink goes in its box.
FlyoutBox Ink(const FlyoutText& t, const FlyoutMeasure& measure) {
  const int w = measure(t.text, t.font);
  int left = t.box.left;
  if (t.align == FlyoutAlign::Centre) left = (t.box.left + t.box.right - w) / 2;
  if (t.align == FlyoutAlign::Right) left = t.box.right - w;
  return {left, t.box.top, left + w, t.box.bottom};
}

bool Overlap(const FlyoutBox& a, const FlyoutBox& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const FlyoutPoint& p, const FlyoutBox& b) {
  return p.x >= b.left && p.x <= b.right && p.y >= b.top && p.y <= b.bottom;
}

std::size_t CountNoData(const FlyoutLayout& layout) {
  return static_cast<std::size_t>(std::count_if(layout.texts.begin(), layout.texts.end(), [](const FlyoutText& t) {
    return t.text == FlyoutNoData() || t.text == "нет"_cp;
  }));
}

TEST(ForecastLayout, NothingOverlapsOrLeavesItsPlaceAtEveryDpi) {
  for (auto shape : {+[](int k) { return k % 2 ? -50.0 : 45.0; }, +[](int) { return 3.0; },
                     +[](int k) { return -10.0 + k; }}) {
    const FlyoutContent content = FlyoutContentOf(Full(shape), true);
    for (int dpi : kDpis) {
      const FlyoutMeasure measure = MeasureAt(dpi);
      const FlyoutLayout layout = LayOutFlyout(content, dpi, measure);
      ASSERT_EQ(layout.curve.size(), 24u) << dpi;
      for (const FlyoutPoint& p : layout.curve) EXPECT_TRUE(Inside(p, layout.chart)) << dpi << " " << p.y;
      std::vector<FlyoutBox> inks;
      for (const FlyoutText& t : layout.texts) {
        if (t.text.empty()) continue;
        const FlyoutBox ink = Ink(t, measure);
        EXPECT_GE(ink.left, 0) << t.text << " at " << dpi;
        EXPECT_LE(ink.right, layout.width) << t.text << " at " << dpi;
        EXPECT_LE(ink.bottom, layout.height) << t.text << " at " << dpi;
        inks.push_back(ink);
      }
      for (const FlyoutPicture& p : layout.pictures) inks.push_back(p.box);
      for (const FlyoutArrow& a : layout.arrows) inks.push_back(a.box);
      ASSERT_EQ(layout.sparklines.size(), kCurrencyCount);
      for (const FlyoutSparkline& line : layout.sparklines) {
        FlyoutBox around{line.points.front().x, line.points.front().y, line.points.front().x + 1, line.points.front().y + 1};
        for (const FlyoutPoint& p : line.points)
          around = {std::min(around.left, p.x), std::min(around.top, p.y), std::max(around.right, p.x + 1), std::max(around.bottom, p.y + 1)};
        EXPECT_LT(around.right, layout.width) << dpi;
        inks.push_back(around);
      }
      // The pressure's trend, and each currency's change and tomorrow.
      EXPECT_EQ(layout.arrows.size(), 1u + 2 * kCurrencyCount);
      EXPECT_EQ(layout.bars.size(), 4u);
      for (const FlyoutBar& b : layout.bars) {
        EXPECT_TRUE(Inside({b.box.left, b.box.top}, layout.chart) && Inside({b.box.right, b.box.bottom}, layout.chart));
      }
      for (std::size_t a = 0; a < inks.size(); ++a)
        for (std::size_t b = a + 1; b < inks.size(); ++b)
          EXPECT_FALSE(Overlap(inks[a], inks[b])) << a << " and " << b << " at " << dpi;
      // A day's texts stay in its column.
      ASSERT_EQ(layout.dayColumns.size(), 7u);
      for (const FlyoutText& t : layout.texts) {
        for (const FlyoutBox& column : layout.dayColumns) {
          if (t.box.left == column.left && t.box.right == column.right) {
            EXPECT_LE(measure(t.text, t.font), column.width()) << t.text << " at " << dpi;
          }
        }
      }
      EXPECT_EQ(CountNoData(layout), 0u);
    }
  }
}

TEST(ForecastLayout, ExtremesAreLabelledFlatDayInTheMiddleZeroLineOnlyWhenCrossed) {
  const FlyoutMeasure measure = MeasureAt(96);
  const FlyoutLayout wide = LayOutFlyout(FlyoutContentOf(Full([](int k) { return k == 5 ? -50.0 : k == 9 ? 45.0 : 0.5; }), false), 96, measure);
  auto has = [](const FlyoutLayout& l, std::string_view text) {
    return std::any_of(l.texts.begin(), l.texts.end(), [&](const FlyoutText& t) { return t.text == text; });
  };
  EXPECT_TRUE(has(wide, "-50°"_cp));
  EXPECT_TRUE(has(wide, "+45°"_cp));
  EXPECT_EQ(wide.curve[9].y, wide.chart.top);
  EXPECT_EQ(wide.curve[5].y, wide.chart.bottom);
  ASSERT_TRUE(wide.zeroLine);
  EXPECT_GT(*wide.zeroLine, wide.chart.top);

  const FlyoutLayout flat = LayOutFlyout(FlyoutContentOf(Full([](int) { return 3.0; }), false), 96, measure);
  EXPECT_FALSE(flat.zeroLine);
  EXPECT_EQ(flat.curve.front().y, (flat.chart.top + flat.chart.bottom) / 2);
  EXPECT_EQ(std::count_if(flat.texts.begin(), flat.texts.end(), [](const FlyoutText& t) { return t.text == "+3°"_cp; }), 2);  // now, and the day once
}

TEST(ForecastLayout, MissingPartsSayNoDataAndNothingElse) {
  const FlyoutMeasure measure = MeasureAt(144);
  // Before the first forecast: every part says so, the rates too when they are wanted.
  const FlyoutLayout empty = LayOutFlyout(FlyoutContentOf(ForecastSnapshot{}, true), 144, measure);
  EXPECT_TRUE(empty.curve.empty());
  EXPECT_TRUE(empty.pictures.empty());
  EXPECT_GE(CountNoData(empty), 5u);  // place, now, hours, days, rates
  EXPECT_EQ(FlyoutName(FlyoutContentOf(ForecastSnapshot{}, true)), "Прогноз погоды: нет данных"_cp);

  // Ten hours, two days, one of them without a minimum; the feed's nonsense is no temperature.
  ForecastSnapshot part = Full([](int k) { return 1.0 * k; });
  part.hours.resize(10);
  part.hours[3].temperature = "warm";
  part.days.resize(2);
  part.days[1].min = "1e9";
  part.days[1].sky.clear();
  const FlyoutContent content = FlyoutContentOf(part, false);
  EXPECT_EQ(content.days[0].weekday, "Вт"_cp);  // 1 December 2026
  EXPECT_EQ(content.days[0].date, "01.12");
  EXPECT_EQ(content.nowTemperature, "+0°"_cp);
  EXPECT_EQ(FlyoutName(content), "Прогноз погоды: Верхние Выселки, сейчас +0°, Облачно, небольшой дождь"_cp);
  const FlyoutLayout layout = LayOutFlyout(content, 144, measure);
  EXPECT_EQ(layout.curve.size(), 9u);
  EXPECT_LT(layout.curve.back().x, layout.chart.left + layout.chart.width() / 2);
  EXPECT_EQ(CountNoData(layout), 2u);  // after the tenth hour, after the second day
  EXPECT_TRUE(std::any_of(layout.texts.begin(), layout.texts.end(), [](const FlyoutText& t) { return t.text == "–"_cp; }));
}

TEST(ForecastLayout, TemperaturesAsTheFeedWritesThem) {
  EXPECT_EQ(ParseTemperature("-2.8"), -2.8);
  EXPECT_EQ(ParseTemperature("+5"), 5.0);
  for (std::string_view bad : {"", "+", "++5", "5°", "nan", "1e300", "-273", "12,5", " 3"})
    EXPECT_FALSE(ParseTemperature(bad)) << bad;
  EXPECT_EQ(DegreesText(-0.4), "0°"_cp);
  EXPECT_EQ(DegreesText(-2.6), "-3°"_cp);
  EXPECT_EQ(DegreesText(12.5), "+13°"_cp);
}

}  // namespace
}  // namespace corvella

namespace corvella {
namespace {

// An older server's document has none of the newer values: the window is as it was, with no
// empty lines, bars, arrows or "нет данных" for them.
TEST(ForecastLayout, WithoutTheNewerValuesNothingOfThemIsShown) {
  const FlyoutMeasure measure = MeasureAt(96);
  ForecastSnapshot older = Full([](int k) { return 1.0 * k; });
  for (HourBlock& h : older.hours) h.details = {};
  for (DayBlock& d : older.days) {
    d.precip.reset();
    d.wind.reset();
  }
  ForecastSnapshot newer = Full([](int k) { return 1.0 * k; });
  // The weather alone: the rates' own marks are another matter.
  older.rateDetails.clear();
  newer.rateDetails.clear();
  const FlyoutLayout was = LayOutFlyout(FlyoutContentOf(older, true), 96, measure);
  const FlyoutLayout now = LayOutFlyout(FlyoutContentOf(newer, true), 96, measure);
  EXPECT_TRUE(was.bars.empty() && was.arrows.empty());
  EXPECT_EQ(CountNoData(was), 0u);
  EXPECT_EQ(now.texts.size() - was.texts.size(), 4u + 1 + 1 + 7 * 3);  // now, trend, line, days
  EXPECT_LT(was.height, now.height);
}

}  // namespace
}  // namespace corvella
