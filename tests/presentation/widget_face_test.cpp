#include "presentation/widget_face.h"

#include <gtest/gtest.h>

#include "common/text_literal.h"

namespace corvella {
namespace {

TEST(WidgetFace, NightRunsFrom21To459AndRainOrSnowWin) {
  for (int hour = 0; hour < 24; ++hour) {
    const bool night = hour >= 21 || hour <= 4;
    EXPECT_EQ(ChooseBackground(hour, ""), night ? kBackgroundNight : kBackgroundDay) << hour;
    EXPECT_EQ(ChooseBackground(hour, "Гроза"_cp), night ? kBackgroundNight : kBackgroundDay) << hour;
    EXPECT_EQ(ChooseBackground(hour, "Дождь"_cp), kBackgroundRain) << hour;
    EXPECT_EQ(ChooseBackground(hour, "Снег"_cp), kBackgroundSnow) << hour;
  }
  // 2 p.m. is day whatever the user's time format would write it as.
  EXPECT_EQ(ChooseBackground(14, "Ясно"_cp), kBackgroundDay);
  // Only the whole word counts.
  EXPECT_EQ(ChooseBackground(12, "Дождь "_cp), kBackgroundDay);
  EXPECT_EQ(ChooseBackground(23, "Снег, дождь"_cp), kBackgroundNight);
}

TEST(WidgetFace, FirstStartLeaves192PixelsAt96DpiAtTheRightOfTheScreen) {
  EXPECT_EQ(DefaultWidgetPosition(1024, 96), (WidgetPoint{832, 0}));
  EXPECT_EQ(DefaultWidgetPosition(1920, 96), (WidgetPoint{1728, 0}));
  EXPECT_EQ(DefaultWidgetPosition(1920, 144), (WidgetPoint{1632, 0}));
  // At every scale the widest picture (rain and snow, 170 pixels at 96 DPI) fits on the screen.
  for (int dpi : {96, 120, 144, 168, 192, 288}) {
    const int left = DefaultWidgetPosition(1920, dpi).x;
    EXPECT_LE(left + ScaleForDpi(170, dpi), 1920) << dpi << " DPI";
  }
}

TEST(WidgetFace, APositionOffEveryMonitorMovesOntoTheNearestWorkArea) {
  // Two monitors side by side; the first has a task bar of 40 pixels at its bottom.
  const std::vector<WidgetMonitor> screens = {
      {{0, 0, 1024, 768}, {0, 0, 1024, 728}},
      {{1024, 0, 2304, 1024}, {1024, 0, 2304, 1024}},
  };
  // Partly visible, however little: the user's place is kept.
  EXPECT_EQ(KeepOnScreen({-155, 100}, 156, 156, screens), (WidgetPoint{-155, 100}));
  EXPECT_EQ(KeepOnScreen({2303, -155}, 170, 156, screens), (WidgetPoint{2303, -155}));
  EXPECT_EQ(KeepOnScreen({500, 760}, 156, 156, screens), (WidgetPoint{500, 760}));
  // Wholly off: into the nearest monitor's work area, as close as it fits.
  EXPECT_EQ(KeepOnScreen({-400, 300}, 156, 156, screens), (WidgetPoint{0, 300}));
  EXPECT_EQ(KeepOnScreen({500, 900}, 156, 156, screens), (WidgetPoint{500, 572}));
  EXPECT_EQ(KeepOnScreen({3000, 2000}, 170, 156, screens), (WidgetPoint{2134, 868}));
  // A monitor that was unplugged: the widget comes back to the one left.
  EXPECT_EQ(KeepOnScreen({1500, 200}, 156, 156, {screens[0]}), (WidgetPoint{868, 200}));
  // Nothing known about the screens: left alone.
  EXPECT_EQ(KeepOnScreen({-5000, -5000}, 156, 156, {}), (WidgetPoint{-5000, -5000}));
}

TEST(WidgetFace, LargerDpisDrawFromTheNextLargerRendering) {
  EXPECT_EQ(WidgetArtDpi(96), 96);
  EXPECT_EQ(WidgetArtDpi(72), 96);
  EXPECT_EQ(WidgetArtDpi(120), 120);
  EXPECT_EQ(WidgetArtDpi(121), 144);
  EXPECT_EQ(WidgetArtDpi(192), 192);
  EXPECT_EQ(WidgetArtDpi(288), 192);
  EXPECT_EQ(ScaleForDpi(156, 96), 156);
  EXPECT_EQ(ScaleForDpi(156, 144), 234);
  EXPECT_EQ(ScaleForDpi(26, 120), 33);  // 32.5 rounds up
  EXPECT_EQ(ScaleForDpi(170, 192), 340);
}

}  // namespace
}  // namespace corvella
