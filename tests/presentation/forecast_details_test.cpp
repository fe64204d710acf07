// The forecast window's words beyond the temperature: compass points, calm, the pressure's
// trend, and when the rain or snow comes.
#include <gtest/gtest.h>

#include "common/text_literal.h"
#include "presentation/forecast_details.h"

namespace corvella {
namespace {

TEST(ForecastDetails, WindFeelsPressureAndHumidityInTheirWords) {
  const struct {
    FeedWind wind;
    std::string_view text;
  } winds[] = {
      {{4, 9, 225}, "ветер ЮЗ, 4 м/с, порывы 9"_cp}, {{4, 4, 225}, "ветер ЮЗ, 4 м/с"_cp},
      {{7, {}, 22}, "ветер С, 7 м/с"_cp},             {{7, {}, 23}, "ветер СВ, 7 м/с"_cp},
      {{2, {}, 337}, "ветер СЗ, 2 м/с"_cp},           {{2, {}, 359}, "ветер С, 2 м/с"_cp},
      {{3, 8, {}}, "ветер 3 м/с, порывы 8"_cp},       {{0, 3, 90}, "штиль"_cp},
  };
  for (const auto& w : winds) EXPECT_EQ(WindText(w.wind), w.text) << w.wind.speed;
  EXPECT_EQ(FeelsText(-14.2), "ощущается как -14°"_cp);
  EXPECT_EQ(FeelsText(0.4), "ощущается как 0°"_cp);
  EXPECT_EQ(PressureText(745), "745 мм рт. ст."_cp);
  EXPECT_EQ(HumidityText(81), "влажность 81 %"_cp);
  EXPECT_EQ(PrecipAmountText(3.2) + " " + PrecipAmountText(0.4) + " " + PrecipAmountText(0.0) + " " +
                PrecipAmountText(1.4, true),
            "3 мм 0,4 мм 0 мм 1,4 мм"_cp);
}

// Hours from 14:00 with a precipitation of `mm[k]` (absent where negative) and a sky.
std::vector<HourBlock> Hours(std::vector<double> mm, std::string_view sky = "Пасмурно"_cp, int pressureFall = 0) {
  std::vector<HourBlock> hours;
  for (std::size_t k = 0; k < 24; ++k) {
    HourBlock h{std::to_string(100 + (14 + k) % 24).substr(1), "-3", std::string(sky), "", {}};
    const double amount = k < mm.size() ? mm[k] : 0.0;
    if (amount >= 0) h.details.precip = FeedPrecip{amount, 80};
    h.details.pressure = 750 - static_cast<int>(k) * pressureFall / 12;
    hours.push_back(h);
  }
  return hours;
}

TEST(ForecastDetails, ThePrecipitationLineAndThePressuresTrend) {
  const struct {
    std::vector<HourBlock> hours;
    std::string_view line;
  } cases[] = {
      {Hours({}), "Без осадков"_cp},
      {Hours({0, 0.1, 0.2, 0.3, 0.1}, "Снег"_cp), "Снег с 15:00"_cp},
      {Hours({0, 0, 0, 0, 1.2, 0.6}, "Дождь"_cp), "Дождь около 18:00, до 2 мм"_cp},
      {Hours({0, 0, 0.3}), "Снег около 16:00"_cp},  // an overcast sky at -3°: snow
      {[] {  // rain for two hours, then snow: the rain's spell alone
         std::vector<HourBlock> h = Hours({0, 0.6, 0.6, 0.6, 0.6, 0.6}, "Дождь"_cp);
         for (std::size_t k = 3; k < 6; ++k) h[k].sky = "Снег"_cp;
         return h;
       }(),
       "Дождь около 15:00, до 2 мм"_cp},
      {Hours({0.5, 0.5}), ""},                       // it falls now: the sky says so
      {Hours({0, -1}), ""},                          // an hour unknown: never "dry"
      {{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PrecipLine(c.hours), c.line) << c.line;

  const std::optional<PressureTrend> falling = PressureTrendOf(Hours({}, "", 7));
  ASSERT_TRUE(falling);
  EXPECT_TRUE(falling->falling);
  EXPECT_EQ(falling->text, "7 за 12 ч"_cp);
  EXPECT_FALSE(PressureTrendOf(Hours({}, "", 2)));
  const std::optional<PressureTrend> rising = PressureTrendOf(Hours({}, "", -3));
  ASSERT_TRUE(rising);
  EXPECT_FALSE(rising->falling);
  EXPECT_EQ(rising->text, "3 за 12 ч"_cp);

  FeedPrecip unlikely{2.0, 30};
  EXPECT_FALSE(PrecipLikely(unlikely));
  EXPECT_TRUE(PrecipLikely({0.1, {}}));
}

}  // namespace
}  // namespace corvella
