#include <gtest/gtest.h>

#include "presentation/tray_art.h"
#include "presentation/tray_digits.h"

namespace corvella {
namespace {

TEST(TrayDigits, LongerTextsStartFurtherLeft) {
  // "2", "5°", "12°", "-12°"
  EXPECT_EQ(PictureDigitsPlacement(1).x, 10);
  EXPECT_EQ(PictureDigitsPlacement(2).x, 6);
  EXPECT_EQ(PictureDigitsPlacement(3).x, 3);
  EXPECT_EQ(PictureDigitsPlacement(4).x, 3);
  EXPECT_EQ(PictureDigitsPlacement(3).y, 7);
  EXPECT_EQ(DigitsOnlyPlacement(1).x, 5);
  EXPECT_EQ(DigitsOnlyPlacement(2).x, 2);
  EXPECT_EQ(DigitsOnlyPlacement(3).x, -1);
  EXPECT_EQ(DigitsOnlyPlacement(7).x, -1);
  EXPECT_EQ(DigitsOnlyPlacement(1).y, 1);
}

TEST(TrayArt, WaitingAndWeatherPicturesShareOneDrawing) {
  const TrayPicture& grey = WaitingPicture();
  const TrayPicture& colour = WeatherPicture();
  int opaque = 0;
  bool hasColour = false;
  for (std::size_t i = 0; i < grey.size(); ++i) {
    // Same shape: transparent in one exactly where transparent in the other.
    ASSERT_EQ(grey[i] >> 24 == 0, colour[i] >> 24 == 0) << i;
    if (grey[i] >> 24 == 0) continue;
    ++opaque;
    unsigned r = grey[i] >> 16 & 0xFF, g = grey[i] >> 8 & 0xFF, b = grey[i] & 0xFF;
    EXPECT_TRUE(r == g && g == b) << "the waiting picture is grey";
    hasColour |= ((colour[i] >> 16 & 0xFF) != (colour[i] & 0xFF));
  }
  EXPECT_GT(opaque, 60);
  EXPECT_TRUE(hasColour) << "the weather picture has its yellow sun";
}

}  // namespace
}  // namespace corvella
