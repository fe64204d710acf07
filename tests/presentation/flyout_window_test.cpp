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
  FlyoutContent empty;
  empty.ratesWanted = true;
  const struct {
    const FlyoutContent& content;
    std::string_view description;
  } cases[] = {
      {full, "обновлено 14:05\nПо часам: 14 ч +5° Облачно; 15 ч нет данных\n"
             "По дням: Пн 07.12 от -3° до +2° Снег; Вт 08.12 от нет данных до 0°\n"
             "Курсы: Доллар США: 92,5130; Евро: 99,1200"_cp},
      {empty, "По часам: нет данных\nПо дням: нет данных\nКурсы: нет данных"_cp},
      {FlyoutContent{}, "По часам: нет данных\nПо дням: нет данных"_cp},  // no rates wanted
  };
  for (const auto& c : cases) EXPECT_EQ(FlyoutDescription(c.content), c.description);
}

}  // namespace
}  // namespace corvella
