// The forecast window's portable decisions: what a settings broadcast does to it, and what a
// screen reader reads of it.
#include <gtest/gtest.h>

#include "common/text_literal.h"
#include "presentation/flyout_description.h"
#include "presentation/setting_change.h"

namespace corvella {
namespace {

TEST(FlyoutSettingChange, ClosesOnlyForRoomAndMeasuresRepaintsForColours) {
  const struct {
    unsigned action;
    std::string_view area;
    SettingReaction reaction;
  } cases[] = {
      {0, "Environment", SettingReaction::Keep},
      {1, "Policy", SettingReaction::Keep},  // a machine policy refresh: wParam 1
      {0, "intl", SettingReaction::Keep},
      {0x0014, "", SettingReaction::Keep},  // SPI_SETDESKWALLPAPER
      {0, "ImmersiveColorSet", SettingReaction::Repaint},
      {0, "WindowsThemeElement", SettingReaction::Repaint},
      {kSpiSetHighContrast, "", SettingReaction::Repaint},
      {kSpiSetWorkArea, "", SettingReaction::Close},
      {kSpiSetNonClientMetrics, "WindowMetrics", SettingReaction::Close},
      {kSpiSetIconMetrics, "WindowMetrics", SettingReaction::Close},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReactionToSettingChange(c.action, c.area), c.reaction) << c.action << " " << c.area;
}

TEST(FlyoutDescription, NamesEveryHourDayAndRateAndSaysWhatIsMissing) {
  FlyoutContent full;
  full.updated = "обновлено 14:05"_cp;
  full.hours = {{"14", 4.6, std::string("Облачно"_cp)}, {"15", std::nullopt, ""}};
  full.days = {{std::string("Пн"_cp), "07.12", std::string("Снег"_cp), -3, 2}, {std::string("Вт"_cp), "08.12", "", std::nullopt, 0}};
  full.ratesWanted = true;
  full.rates = {std::string("Доллар США: 92,5130"_cp), std::string("Евро: 99,1200"_cp)};
  // With what a newer gateway adds: the window's details and each rate's move and tomorrow.
  FlyoutContent newer = full;
  newer.details.now = {std::string("ощущается как -14°"_cp), std::string("745 мм рт. ст."_cp)};
  newer.details.pressureAt = 1;
  newer.details.trend = PressureTrend{true, std::string("7 за 12 ч"_cp)};
  newer.details.precipLine = std::string("Снег с 15:00"_cp);
  newer.details.days = {{std::string("3 мм"_cp), "80 %", "", std::string("ветер З, 7 м/с, порывы 15"_cp)}};
  newer.rateRows = {{std::string("Доллар"_cp), "92,51", RateMove::Up, "0,35", std::string("завтра 92,80"_cp), RateMove::Down, {}, 0, 0},
                    {std::string("Евро"_cp), "99,12", RateMove::None, "", "", RateMove::None, {}, 0, 0}};
  FlyoutContent empty;
  empty.ratesWanted = true;
  const struct {
    const FlyoutContent& content;
    std::string_view description;
  } cases[] = {
      {full, "обновлено 14:05\nПо часам: 14 ч +5° Облачно; 15 ч нет данных\n"
             "По дням: Пн 07.12 от -3° до +2° Снег; Вт 08.12 от нет данных до 0°\n"
             "Курсы: Доллар США: 92,5130; Евро: 99,1200"_cp},
      {newer, "обновлено 14:05\nСейчас: ощущается как -14°; 745 мм рт. ст., падает на 7 за 12 ч\nСнег с 15:00\n"
              "По часам: 14 ч +5° Облачно; 15 ч нет данных\n"
              "По дням: Пн 07.12 от -3° до +2° Снег, 3 мм, 80 %, ветер З, 7 м/с, порывы 15; Вт 08.12 от нет данных до 0°\n"
              "Курсы: Доллар 92,51 выше на 0,35, завтра 92,80, ниже; Евро 99,12"_cp},
      {empty, "По часам: нет данных\nПо дням: нет данных\nКурсы: нет данных"_cp},
      {FlyoutContent{}, "По часам: нет данных\nПо дням: нет данных"_cp},  // no rates wanted
  };
  for (const auto& c : cases) EXPECT_EQ(FlyoutDescription(c.content), c.description);
}

}  // namespace
}  // namespace corvella
