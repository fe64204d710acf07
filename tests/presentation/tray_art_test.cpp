// The rendered artwork in data/ as the program reads it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/icon_file.h"

namespace corvella {
namespace {

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(CORVELLA_DATA_DIR) + "/" + name, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int OpaqueCount(const TrayBitmap& image) {
  int n = 0;
  for (std::uint32_t p : image.pixels) n += Alpha(p) >= 0x80;
  return n;
}

// The small-icon sizes at 100 % to 300 % in steps of 25 %.
constexpr int kScaleSizes[] = {16, 20, 24, 28, 32, 36, 40, 48};

TEST(TrayArt, EveryIconHasItsSizesAsPicturesNotSquares) {
  const std::string program = ReadData("corvella.ico");
  EXPECT_EQ(IconFileSizes(program), (std::vector<int>{16, 20, 24, 28, 32, 36, 40, 48, 256}));
  for (const char* name : {"corvella.ico", "tray/waiting.ico", "tray/glyph.ico"}) {
    const std::string file = ReadData(name);
    for (int size : kScaleSizes) {
      auto image = IconFileImage(file, size);
      ASSERT_TRUE(image) << name << " " << size;
      const int area = size * size;
      EXPECT_GT(OpaqueCount(*image), area / 4) << name << " " << size;
      EXPECT_LT(OpaqueCount(*image), area * 9 / 10) << name << " " << size;
    }
    // Drawn pixel by pixel at 16: every pixel is fully opaque or fully transparent.
    const auto drawn = IconFileImage(file, 16);
    ASSERT_TRUE(drawn) << name;
    for (std::uint32_t p : drawn->pixels) {
      ASSERT_TRUE(Alpha(p) == 0 || Alpha(p) == 0xFF) << name;
    }
  }
}

TEST(TrayArt, WaitingAndWeatherPicturesShareOneDrawing) {
  const std::string waitingFile = ReadData("tray/waiting.ico");
  const std::string weatherFile = ReadData("corvella.ico");
  for (int size : {16, 24}) {
    const TrayBitmap grey = *IconFileImage(waitingFile, size);
    const TrayBitmap colour = *IconFileImage(weatherFile, size);
    bool hasColour = false;
    for (std::size_t i = 0; i < grey.pixels.size(); ++i) {
      // Same shape: transparent in one exactly where transparent in the other.
      ASSERT_EQ(Alpha(grey.pixels[i]), Alpha(colour.pixels[i])) << size << " " << i;
      if (Alpha(grey.pixels[i]) == 0) continue;
      const unsigned r = grey.pixels[i] >> 16 & 0xFF, g = grey.pixels[i] >> 8 & 0xFF,
                     b = grey.pixels[i] & 0xFF;
      EXPECT_TRUE(r == g && g == b) << "the waiting picture is grey";
      hasColour |= (colour.pixels[i] & 0xFFFFFF) == 0xFFC828;
    }
    EXPECT_TRUE(hasColour) << "the weather picture has its yellow sun at " << size;
  }
}

TEST(TrayArt, EveryScaleGetsItsOwnSizeAndOthersTheNearestLarger) {
  const std::string waiting = ReadData("tray/waiting.ico"), weather = ReadData("corvella.ico"),
                    glyph = ReadData("tray/glyph.ico");
  const std::vector<std::string_view> files{waiting, weather, glyph};
  for (int size : kScaleSizes) EXPECT_EQ(NearestCommonIconSize(files, size), size);
  EXPECT_EQ(NearestCommonIconSize(files, 17), 20);
  EXPECT_EQ(NearestCommonIconSize(files, 42), 48);
  // Beyond every common size (256 is the program icon's alone): the largest.
  EXPECT_EQ(NearestCommonIconSize(files, 64), 48);
  EXPECT_EQ(NearestCommonIconSize(files, 8), 16);
  EXPECT_EQ(NearestCommonIconSize({waiting, "not an icon"}, 16), 0);
  EXPECT_EQ(NearestCommonIconSize({}, 16), 0);
}

TEST(IconFile, DamagedFilesGiveNoImage) {
  const std::string good = ReadData("tray/glyph.ico");
  ASSERT_TRUE(IconFileImage(good, 16));
  EXPECT_FALSE(IconFileImage(good, 17));
  EXPECT_TRUE(IconFileSizes("").empty());
  EXPECT_TRUE(IconFileSizes("not an icon at all").empty());
  // Cut anywhere: never an image read past the end.
  for (std::size_t cut :
       {std::size_t{5}, std::size_t{20}, std::size_t{100}, good.size() / 2, good.size() - 1}) {
    const std::string part = good.substr(0, cut);
    for (int size : {16, 20, 24, 32}) {
      if (auto image = IconFileImage(part, size)) {
        EXPECT_EQ(image->size, size);
      }
    }
  }
  // A directory that claims more entries than the file holds.
  std::string bogus = good.substr(0, 6);
  bogus[4] = '\xFF';
  EXPECT_TRUE(IconFileSizes(bogus).empty());
  // An entry that points past the end.
  std::string pastEnd = good;
  pastEnd[6 + 12] = '\xFF';
  pastEnd[6 + 15] = '\x7F';
  EXPECT_FALSE(IconFileImage(pastEnd, 16));
}

}  // namespace
}  // namespace corvella
