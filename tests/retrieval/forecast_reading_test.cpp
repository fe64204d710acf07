// The one reading of a forecast document: the tray's values exactly as the separate cuts read
// them, and the hours' and days' newer values, each absent on its own when missing or absurd.
#include <gtest/gtest.h>

#include "common/text_literal.h"
#include "retrieval/forecast_blocks.h"

namespace corvella {
namespace {

constexpr CivilDate kToday{2026, 12, 7};

std::string Hour(std::string_view hh, std::string_view temp, std::string_view extra = "") {
  return "<hour value=\"" + std::string(hh) + ":00\"><temp value=\"" + std::string(temp) +
         "\"/><symbol value=\"71\" desc=\"" + std::string("Небольшой снег"_cp) + "\"/>" + std::string(extra) +
         "</hour>\n";
}

std::string Day(std::string_view ymd, std::string_view extra = "") {
  return "<day value=\"" + std::string(ymd) + "\"><tempmin value=\"-9\"/><tempmax value=\"-2\"/>" +
         std::string(extra) + "</day>\n";
}

TEST(ForecastReading, TheTraysValuesAreWhatTheSeparateCutsRead) {
  const std::string gateway = Day("20261207") + Day("20261208") + Day("20261209") + Hour("10", "-3") +
                              Hour("11", "-4.5") + Hour("10", "7");
  const std::string documents[] = {
      gateway,
      // The hour and the days absent: the absent-marker rules.
      "0123456789012345678<temp value=\"8\" desc=\"x\"></hour><day value=\"2026\"><tempmin value=\"1\"/></day>",
      // Cut blocks, a block inside a block, a marker split by another.
      "<hour value=\"10:00\"><temp value=\"1\"/><hour value=\"10:00\"><temp value=\"2\"/></hour><day "
      "value=\"20261208\"><tempmax value=\"3\"/><day value=\"20261208\"><tempmin value=\"4\"/></day>",
      "<hour value=\"10:<hour value=\"10:00\"><temp value=\"5\"/></hour><day value=\"20261209\">",
      "",
  };
  for (const std::string& doc : documents) {
    const ForecastReading r = ReadForecast(doc, "10", kToday);
    const CurrentReading current = ExtractCurrent(doc, "10");
    EXPECT_EQ(r.current.temperatureText, current.temperatureText) << doc;
    EXPECT_EQ(r.current.skyCondition, current.skyCondition) << doc;
    for (const auto& [range, ymd] : {std::pair{r.tomorrow, "20261208"}, std::pair{r.dayAfter, "20261209"}}) {
      EXPECT_EQ(range.min, ExtractDayRange(doc, ymd).min) << doc;
      EXPECT_EQ(range.max, ExtractDayRange(doc, ymd).max) << doc;
    }
  }
  const ForecastReading r = ReadForecast(gateway, "10", kToday);
  ASSERT_EQ(r.hours.size(), 3u);
  EXPECT_EQ(r.hours[1].temperature, "-4.5");
  EXPECT_EQ(r.current.temperatureText, "-3°"_cp);  // the first block of the hour
  EXPECT_EQ(r.days.size(), 3u);
}

TEST(ForecastReading, NewerValuesAreTypedAndEachIsAbsentAlone) {
  const std::string doc =
      Day("20261207", "<symbol value=\"71\" desc=\"x\"/><precip value=\"3.2\" prob=\"80\"/>"
                      "<wind speed=\"7\" gust=\"15\" dir=\"270\"/>") +
      Day("20261208", "<wind value=\"12\" unit=\"km/h\" dir=\"N\"/>") +  // an older feed's wind
      Hour("10", "-3",
           "<feels value=\"-14.2\"/><wind speed=\"4\" gust=\"9\" dir=\"225\"/><pressure value=\"745\"/>"
           "<humidity value=\"81\"/><precip value=\"0.4\" prob=\"60\"/>") +
      Hour("11", "-3", "<wind speed=\"0\"/><precip value=\"0.0\"/>") +
      Hour("12", "-3",
           "<feels value=\"cold\"/><wind speed=\"-4\" gust=\"9\"/><pressure value=\"74500\"/>"
           "<humidity value=\"181\"/><precip value=\"0.4\" prob=\"160\"/><windy speed=\"5\"/>") +
      Hour("13", "-3", "<wind gust=\"9\" dir=\"400\" speed=\"3\"/><precip prob=\"50\"/>");
  const ForecastReading r = ReadForecast(doc, "10", kToday);
  ASSERT_EQ(r.hours.size(), 4u);

  const HourDetails& full = r.hours[0].details;
  EXPECT_DOUBLE_EQ(full.feels.value_or(0), -14.2);
  ASSERT_TRUE(full.wind && full.precip);
  EXPECT_EQ(full.wind->speed, 4);
  EXPECT_EQ(full.wind->gust, 9);
  EXPECT_EQ(full.wind->from, 225);
  EXPECT_EQ(full.pressure, 745);
  EXPECT_EQ(full.humidity, 81);
  EXPECT_DOUBLE_EQ(full.precip->amount, 0.4);
  EXPECT_EQ(full.precip->chance, 60);

  const HourDetails& calm = r.hours[1].details;
  ASSERT_TRUE(calm.wind && calm.precip);
  EXPECT_EQ(calm.wind->speed, 0);
  EXPECT_FALSE(calm.wind->gust || calm.wind->from || calm.precip->chance || calm.feels || calm.pressure);

  // Nonsense is left out, never shown.
  const HourDetails& absurd = r.hours[2].details;
  EXPECT_FALSE(absurd.feels || absurd.wind || absurd.pressure || absurd.humidity);
  ASSERT_TRUE(absurd.precip);
  EXPECT_FALSE(absurd.precip->chance);

  const HourDetails& odd = r.hours[3].details;
  ASSERT_TRUE(odd.wind);
  EXPECT_EQ(odd.wind->speed, 3);
  EXPECT_FALSE(odd.wind->from);
  EXPECT_FALSE(odd.precip);  // a chance without an amount

  ASSERT_EQ(r.days.size(), 2u);
  ASSERT_TRUE(r.days[0].precip && r.days[0].wind);
  EXPECT_DOUBLE_EQ(r.days[0].precip->amount, 3.2);
  EXPECT_EQ(r.days[0].wind->gust, 15);
  EXPECT_FALSE(r.days[1].wind || r.days[1].precip);
}

}  // namespace
}  // namespace corvella
