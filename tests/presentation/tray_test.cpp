#include <gtest/gtest.h>

#include <string>

#include "presentation/digit_colour.h"
#include "presentation/pin_hint.h"
#include "presentation/tray_digits.h"
#include "presentation/tray_image_list.h"
#include "presentation/tray_texts.h"

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
  EXPECT_EQ(PictureDigitsFace(), (DigitFace{"Smal Fonts", 9}));
  EXPECT_EQ(DigitsOnlyFace(), (DigitFace{"Arial", 11}));
}

constexpr std::uint32_t kCloud = 0xFFE6EBF0;
constexpr std::uint32_t kBlackColorref = 0x000000;

// Opaque over the left half of the picture, as a stand-in for the weather picture.
TrayBitmap HalfPicture(int size, std::uint32_t colour) {
  TrayBitmap art(size, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size / 2; ++x) art.at(x, y) = colour;
  }
  return art;
}

// Covers a 2 x 3 block per character at the asked place, and remembers what it was asked.
class BlockGlyphs : public GlyphSource {
 public:
  std::vector<bool> Coverage(int size, std::string_view text, DigitPlacement at,
                             const DigitFace& face) override {
    calls.push_back({size, std::string(text), at, std::string(face.name), face.pixelHeight});
    std::vector<bool> covered(static_cast<std::size_t>(size * size), false);
    for (int y = at.y; y < at.y + 3; ++y) {
      for (int x = at.x; x < at.x + 2 * static_cast<int>(text.size()); ++x) {
        if (x >= 0 && y >= 0 && x < size && y < size) covered[static_cast<std::size_t>(y * size + x)] = true;
      }
    }
    return covered;
  }
  struct Call {
    int size;
    std::string text;
    DigitPlacement at;
    std::string face;
    int height;
  };
  std::vector<Call> calls;
};

class TrayImageListTest : public ::testing::Test {
 protected:
  void SetUp() override { list.SetArt(HalfPicture(16, 0xFF808080), HalfPicture(16, kCloud), glyphs); }
  void Paint(std::string temperature, std::string iconText, bool digitsOnly,
             std::uint32_t colour = kBlackColorref) {
    list.PaintTrayDigits({std::move(temperature), std::move(iconText), digitsOnly, colour, std::nullopt}, glyphs);
  }
  static int OpaqueCount(const TrayBitmap& mask) {
    int n = 0;
    for (std::uint32_t p : mask.pixels) n += p == kMaskOpaque;
    return n;
  }
  TrayImageList list;
  BlockGlyphs glyphs;
};

TEST_F(TrayImageListTest, EntriesFromArtAreTwoColourPicturesOnFuchsia) {
  ASSERT_EQ(list.Count(), 2);
  const TrayEntry& weather = list.Entry(1);
  EXPECT_EQ(weather.picture.at(2, 5), kCloud);
  EXPECT_EQ(weather.mask.at(2, 5), kMaskOpaque);
  EXPECT_EQ(weather.picture.at(12, 5), kTrayBackground);
  EXPECT_EQ(weather.mask.at(12, 5), kMaskTransparent);
  EXPECT_EQ(OpaqueCount(weather.mask), 16 * 8);
}

TEST_F(TrayImageListTest, DigitsOverThePictureAndAlone) {
  const std::string text = "-12";
  Paint("-12.5\xB0", text, true, 0x0000FF);  // red as 0x00BBGGRR
  ASSERT_EQ(list.Count(), 4);
  ASSERT_EQ(glyphs.calls.size(), 2u);
  EXPECT_EQ(glyphs.calls[0].at, (DigitPlacement{3, 7}));
  EXPECT_EQ(glyphs.calls[0].face, "Smal Fonts");
  EXPECT_EQ(glyphs.calls[0].height, 9);
  EXPECT_EQ(glyphs.calls[1].at, (DigitPlacement{-1, 1}));
  EXPECT_EQ(glyphs.calls[1].face, "Arial");
  EXPECT_EQ(glyphs.calls[1].height, 11);

  // Entry 2: the weather picture with the digits in their colour, opaque in the mask
  // also outside the picture's own shape.
  const TrayEntry& withDigits = list.Entry(2);
  EXPECT_EQ(withDigits.picture.at(3, 7), 0xFFFF0000u);
  EXPECT_EQ(withDigits.picture.at(8, 9), 0xFFFF0000u);
  EXPECT_EQ(withDigits.mask.at(8, 9), kMaskOpaque);
  EXPECT_EQ(withDigits.picture.at(2, 2), kCloud);
  EXPECT_EQ(withDigits.picture.at(12, 2), kTrayBackground);
  EXPECT_EQ(OpaqueCount(withDigits.mask), 16 * 8 + 3);  // the 6 x 3 block reaches one column past the half

  // Entry 3: only the digits; the leftmost column of a long text is cut off.
  const TrayEntry& alone = list.Entry(3);
  EXPECT_EQ(OpaqueCount(alone.mask), 5 * 3);
  EXPECT_EQ(alone.picture.at(0, 1), 0xFFFF0000u);
  EXPECT_EQ(alone.picture.at(0, 0), kTrayBackground);
  EXPECT_EQ(alone.mask.at(2, 5), kMaskTransparent);
}

TEST_F(TrayImageListTest, LightDigitsStayOpaqueInTheMasks) {
  // The dialog's white (248, 248, 248) is nearer white than black; the digits must still show.
  Paint("5\xB0", "5\xB0", true, 0xF8F8F8);
  EXPECT_EQ(list.Entry(2).mask.at(9, 8), kMaskOpaque);
  EXPECT_EQ(list.Entry(2).picture.at(9, 8), 0xFFF8F8F8u);
  EXPECT_EQ(OpaqueCount(list.Entry(3).mask), 4 * 3);
}

TEST_F(TrayImageListTest, DigitsOnlyOffLeavesEntryThreeTransparent) {
  Paint("5\xB0", "5\xB0", false);
  ASSERT_EQ(glyphs.calls.size(), 1u);
  EXPECT_EQ(glyphs.calls[0].at, (DigitPlacement{6, 7}));
  EXPECT_EQ(OpaqueCount(list.Entry(3).mask), 0);
  EXPECT_EQ(list.Entry(3).picture, TrayBitmap(16, kTrayBackground));
}

TEST_F(TrayImageListTest, NoTemperatureGivesThePlainPictureInBoth) {
  Paint("", "", true);
  EXPECT_TRUE(glyphs.calls.empty());
  EXPECT_EQ(list.Entry(2), list.Entry(1));
  EXPECT_EQ(list.Entry(3), list.Entry(1));
}

TEST_F(TrayImageListTest, NeverMoreThanFourEntriesAndTheIndexIsClamped) {
  EXPECT_EQ(list.Clamp(2), 1) << "before any composition entry 2 shows entry 1";
  EXPECT_EQ(list.Clamp(3), 1);
  for (int pass = 0; pass < 50; ++pass)
    Paint(std::to_string(pass) + "\xB0", std::to_string(pass), pass % 2 == 0);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Clamp(3), 3);
  EXPECT_EQ(list.Clamp(99), 3);
  EXPECT_EQ(list.Clamp(-1), 0);
  // The last pass (49, digits only off) is what the entries hold.
  EXPECT_EQ(glyphs.calls.back().text, "49");
  EXPECT_EQ(OpaqueCount(list.Entry(3).mask), 0);
}

TEST_F(TrayImageListTest, NewScaleRedrawsTheDigitsAtTheNewSize) {
  Paint("2\xB0", "2", true);
  glyphs.calls.clear();
  list.SetArt(HalfPicture(24, 0xFF808080), HalfPicture(24, kCloud), glyphs);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.size(), 24);
  EXPECT_EQ(list.Entry(2).picture.size, 24);
  ASSERT_EQ(glyphs.calls.size(), 2u);
  EXPECT_EQ(glyphs.calls[0].size, 24);
  EXPECT_EQ(glyphs.calls[0].at, (DigitPlacement{15, 11}));
  EXPECT_EQ(glyphs.calls[1].at, (DigitPlacement{8, 2}));
  EXPECT_EQ(glyphs.calls[1].height, 17);
}

TEST_F(TrayImageListTest, ARimSurroundsTheDigitsAndANewColourRedrawsThem) {
  Paint("5\xB0", "5\xB0", false);
  EXPECT_FALSE(list.Recolour(kBlackColorref, std::nullopt, glyphs)) << "nothing changed";
  ASSERT_TRUE(list.Recolour(kBlackColorref, 0xF8F8F8, glyphs));
  const TrayEntry& e = list.Entry(2);
  // The 4 x 3 block at (6, 7) keeps its colour; the pixels beside it, not the corners, take the rim's.
  EXPECT_EQ(e.picture.at(6, 7), 0xFF000000u);
  EXPECT_EQ(e.picture.at(5, 7), 0xFFF8F8F8u);
  EXPECT_EQ(e.picture.at(10, 9), 0xFFF8F8F8u);
  EXPECT_EQ(e.mask.at(9, 10), kMaskOpaque);
  EXPECT_EQ(e.picture.at(5, 6), kCloud);
  EXPECT_EQ(e.picture.at(10, 10), kTrayBackground);
  EXPECT_EQ(OpaqueCount(e.mask), 16 * 8 + 13);  // what block and rim add beyond the picture's half
}

TEST(DigitInk, FollowsTheTaskbarUntilAColourIsChosen) {
  constexpr std::uint32_t kHighContrastYellow = 0x0000FFFF;
  const struct {
    std::optional<std::uint32_t> stored;
    TaskbarLook look;
    DigitInk ink;
  } cases[] = {
      {std::nullopt, {true, std::nullopt}, {kDigitBlack, std::nullopt}},
      {std::nullopt, {false, std::nullopt}, {kDigitNearWhite, std::nullopt}},
      {std::nullopt, TaskbarLook{}, {kDigitNearWhite, std::nullopt}},  // no theme value: an older, dark bar
      {std::nullopt, {false, kHighContrastYellow}, {kHighContrastYellow, std::nullopt}},
      {std::nullopt, {true, 0x00000000}, {0x00000000, std::nullopt}},  // a white high-contrast scheme
      // A chosen colour stays; nearly the taskbar's own tone, it gets a rim of the other tone.
      {0x000000FF, {false, std::nullopt}, {0x000000FF, std::nullopt}},
      {0x00000000, {false, std::nullopt}, {0x00000000, kDigitNearWhite}},
      {0x00FF0000, {false, std::nullopt}, {0x00FF0000, kDigitNearWhite}},  // pure blue on dark
      {0x0000FFFF, {true, std::nullopt}, {0x0000FFFF, kDigitBlack}},  // yellow on light
      {0x00F8F8F8, {false, std::nullopt}, {0x00F8F8F8, std::nullopt}},
      {0x00000000, {true, kHighContrastYellow}, {0x00000000, kDigitNearWhite}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseDigitInk(c.stored, c.look), c.ink)
        << std::hex << c.stored.value_or(0xFFFFFFFF) << " light " << c.look.light;
  }
}

TEST(TrayTexts, ShellFieldsKeepTheirFirstCharacters) {
  const std::string longHint(200, 'a');
  EXPECT_EQ(TipText(longHint).size(), 127u);
  EXPECT_EQ(TipText(""), "");
  EXPECT_EQ(TipText("Corvella"), "Corvella");
  EXPECT_EQ(BalloonTitle(std::string(70, 't')).size(), 63u);
  EXPECT_EQ(BalloonText(std::string(300, 'x')).size(), 255u);
  EXPECT_EQ(BalloonText(std::string(255, 'x')).size(), 255u);
}

}  // namespace
}  // namespace corvella

namespace corvella {
namespace {

TEST(PinHint, FindsTheProgramInTheShellsListByPathOrKnownFolder) {
  const KnownFolderLookup folders = [](std::wstring_view guid) -> std::optional<std::wstring> {
    if (guid == L"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}") return L"C:\\Users\\Иван\\AppData\\Local";
    return std::nullopt;
  };
  const std::wstring own = L"C:\\Users\\Иван\\AppData\\Local\\Programs\\Corvella\\corvella.exe";
  const struct {
    std::wstring_view recorded;
    bool same;
  } cases[] = {
      {L"C:\\Users\\Иван\\AppData\\Local\\Programs\\Corvella\\corvella.exe", true},
      {L"c:\\users\\Иван\\appdata\\local\\programs\\corvella\\CORVELLA.EXE", true},
      {L"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}\\Programs\\Corvella\\corvella.exe", true},
      {L"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}\\Programs\\Other\\corvella.exe", false},
      {L"{6D809377-6AF0-444B-8957-A3773F02200E}\\Corvella\\corvella.exe", false},  // a folder not known
      {L"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}", false},
      {L"C:\\Users\\Иван\\AppData\\Local\\Programs\\Corvella\\corvella.exe.bak", false},
      {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(SameProgram(c.recorded, own, folders), c.same) << c.recorded.size();
}

TEST(PinHint, GoesAfterTheSummaryWhoseLastLinesGiveWayWhenBothDoNotFit) {
  const std::string hint(PinHint());
  const std::string line(100, 'x');
  EXPECT_EQ(WithPinHint(""), hint);
  EXPECT_EQ(WithPinHint("a\rb"), "a\rb\r" + hint);
  EXPECT_EQ(WithPinHint(line + "\r" + line + "\r" + line), line + "\r" + hint);
  EXPECT_EQ(WithPinHint(std::string(300, 'x')), hint);
  EXPECT_LE(WithPinHint(line + "\r" + line).size(), kBalloonTextLength);
}

}  // namespace
}  // namespace corvella
