// The currencies' lines in the forecast window and in corvella-cli: the words, the arrows and
// the month's line, and what an older server's page leaves out.
#include "presentation/rate_lines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/text_literal.h"
#include "presentation/forecast_layout.h"
#include "presentation/widget_face.h"

namespace corvella {
namespace {

RateDetail Detail(std::string_view label, std::string rate, std::string change = "",
                  std::string tomorrow = "", std::string history = "") {
  return {std::string(label),  std::move(rate), std::move(change),
          std::move(tomorrow), "09.12.2026",    std::move(history)};
}

TEST(RateLines, TheWordsOfEachLine) {
  const struct {
    RateDetail detail;
    std::string line;
  } cases[] = {
      {Detail("Доллар "_cp, "92,5058", "+0,3511", "92,8000", "91,2000 90,1000 93,0000 92,5058"),
       "Доллар 92,51 ▲ 0,35 · завтра 92,80 ▲ · ▄▁█▇ от 90,10 до 93,00"},
      {Detail("Евро "_cp, "99,7130", "-0,1200", "99,5000"), "Евро 99,71 ▼ 0,12 · завтра 99,50 ▼"},
      {Detail("Франк "_cp, "104,8877", "0,0000", "104,8877", "104,8877 104,8877"),
       "Франк 104,89 · завтра 104,89 · ▅▅ от 104,89 до 104,89"},
      {Detail("Лира "_cp, "2,2151", "+0,0030"), "Лира 2,22 ▲ 0,0030"},
      {Detail("100 Иен "_cp, "57,6400"), "100 Иен 57,64"},  // an older server: the rate alone
      {Detail("Доллар "_cp, "", "+0,3511", "92,8000", "1,0000 2,0000"), "Доллар нет данных"},
      {Detail("Евро "_cp, std::string("новости"_cp), "+1,0000"),
       "Евро новости"},  // not a rate: as found, no more
      {Detail("Евро "_cp, "99,7130", "+1e3", "x", "99,1 ,, 99,7130"), "Евро 99,71"},
  };
  for (const auto& c : cases) {
    const std::vector<RateRow> rows = RateRowsOf({c.detail});
    EXPECT_EQ(RateLinesUtf8(rows), std::vector<std::string>{c.line});
  }
}

TEST(RateLines, TheWindowsArrowsAndTheMonthsLineWithItsLowestAndHighest) {
  const std::vector<RateRow> rows =
      RateRowsOf({Detail("Доллар "_cp, "92,5058", "+0,3511", "92,1000", "91,2000 90,1000 93,0000 92,5058"),
                  Detail("100 Иен "_cp, "57,6400")});
  for (int dpi : {96, 144, 192}) {
    FlyoutLayout out;
    const auto measure = [dpi](std::string_view text, FlyoutFont font) {
      return static_cast<int>(text.size()) * FlyoutFontPixels(font, dpi) * 2 / 3;
    };
    const int right = ScaleForDpi(348, dpi);
    const int bottom = LayOutRateRows(rows, ScaleForDpi(12, dpi), right, 100, dpi, measure, out);
    EXPECT_GT(bottom, 100);
    // The dollar rose today (up, warm) and falls tomorrow (down, cold); the yen has no arrow.
    ASSERT_EQ(out.arrows.size(), 2u) << dpi;
    EXPECT_TRUE(out.arrows[0].up && out.arrows[0].ink == FlyoutInk::Warm);
    EXPECT_TRUE(!out.arrows[1].up && out.arrows[1].ink == FlyoutInk::Cold);
    ASSERT_EQ(out.sparklines.size(), 1u);
    const FlyoutSparkline& line = out.sparklines[0];
    ASSERT_EQ(line.points.size(), 4u);
    EXPECT_EQ(line.lowest, 1u);
    EXPECT_EQ(line.highest, 2u);
    for (const FlyoutPoint& p : line.points) {
      EXPECT_LE(line.points[line.highest].y, p.y);
      EXPECT_GE(line.points[line.lowest].y, p.y);
      EXPECT_LT(p.x, right);
      EXPECT_LE(p.y, bottom);
    }
    const auto has = [&](std::string_view text) {
      return std::any_of(out.texts.begin(), out.texts.end(),
                         [&](const FlyoutText& t) { return t.text == text; });
    };
    EXPECT_TRUE(has("0,35") && has("завтра 92,10"_cp) && has("57,64") && has("100 Иен"_cp));
    // An older server's rates alone: a row each, and nothing drawn beside them.
    FlyoutLayout plain;
    EXPECT_EQ(LayOutRateRows(RateRowsOf({Detail("Евро "_cp, "99,7130")}), 0, right, 0, dpi, measure, plain),
              ScaleForDpi(18, dpi));
    EXPECT_TRUE(plain.arrows.empty() && plain.sparklines.empty());
  }
}

}  // namespace
}  // namespace corvella
