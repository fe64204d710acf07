// The resources linked into corvella.exe, read back through the Windows API.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "presentation/tray_art_win32.h"
#include "presentation/tray_digits_win32.h"
#include "shell/file_version_win32.h"

namespace corvella {
namespace {

TEST(AppResources, VersionResourceInRussianWithCodePage1251) {
  EXPECT_EQ(ReadFileVersion(CORVELLA_EXE_PATH), "5.9.0.335");

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(CORVELLA_EXE_PATH, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(CORVELLA_EXE_PATH, 0, size, block.data()));
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0419);
  EXPECT_EQ(translation[1], 0x04E3);
}

TEST(AppResources, ManifestAskesForCommonControls6AndPerMonitorDpiAndNamesItsSystems) {
  HMODULE exe = LoadLibraryExW(CORVELLA_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC res = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(res, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(exe, res)));
  std::string manifest(text, SizeofResource(exe, res));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitor"), std::string::npos);
  // Windows refuses a program whose own version has fewer than four parts.
  EXPECT_TRUE(
      std::regex_search(manifest, std::regex(R"(name="Velmar.Corvella" version="\d+\.\d+\.\d+\.\d+")")));
  // Windows 10 and 11, and 7, the oldest the program runs on.
  EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
  EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos);
  FreeLibrary(exe);
}

TEST(AppResources, MakersLogoAtThreeScalesOnTheHeadersWhite) {
  HMODULE exe = LoadLibraryExW(CORVELLA_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  struct Logo {
    const wchar_t* name;
    int width, height;
  };
  for (const Logo& logo : {Logo{L"LOGO96", 98, 84}, Logo{L"LOGO144", 147, 126}, Logo{L"LOGO192", 196, 168}}) {
    UniqueGdiObject bitmap(LoadImageW(exe, logo.name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_TRUE(bitmap) << logo.name;
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(bitmap.get(), sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, logo.width);
    EXPECT_EQ(dib.dsBm.bmHeight, logo.height);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    // White corners on the white band, a picture in the middle.
    HDC dc = CreateCompatibleDC(nullptr);
    {
      SelectGuard select(dc, bitmap.get());
      EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255));
      EXPECT_EQ(GetPixel(dc, logo.width - 1, logo.height - 1), RGB(255, 255, 255));
      EXPECT_NE(GetPixel(dc, logo.width / 4, logo.height / 2), RGB(255, 255, 255));
    }
    DeleteDC(dc);
  }
  FreeLibrary(exe);
}

TEST(AppResources, TrayIconMaskMatchesThePicture) {
  HMODULE exe = LoadLibraryExW(CORVELLA_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  for (int size : {16, 24}) {
    std::optional<TrayArt> art = LoadTrayArt(exe, size);
    ASSERT_TRUE(art) << size;
    const TrayEntry entry = EntryFromArt(art->weather);
    UniqueIcon icon = MakeIcon(entry);
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    GetObjectW(mask.get(), sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, size);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    SelectGuard select(dc.get(), mask.get());
    int transparent = 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        const bool clear = entry.mask.at(x, y) == kMaskTransparent;
        const bool maskSet = GetPixel(dc.get(), x, y) != RGB(0, 0, 0);
        EXPECT_EQ(maskSet, clear) << x << "," << y;
        transparent += clear;
      }
    }
    EXPECT_GT(transparent, size * size / 8);  // a picture, not a square
    EXPECT_LT(transparent, size * size * 3 / 4);
  }
  // The program's own icon, in every size the shell and the installer ask for.
  for (int size : {16, 20, 24, 32, 48, 256}) {
    HANDLE icon = LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0);
    EXPECT_NE(icon, nullptr) << size;
    if (icon) DestroyIcon(static_cast<HICON>(icon));
  }
  FreeLibrary(exe);
}

TEST(TrayDigitsGdi, DigitsCoverTheLowerRightOfThePicture) {
  GdiGlyphSource glyphs;
  const std::vector<bool> covered =
      glyphs.Coverage(16, "5\xB0", PictureDigitsPlacement(2), PictureDigitsFace());
  int inside = 0, outside = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (!covered[static_cast<std::size_t>(y * 16 + x)]) continue;
      (x >= 6 && y >= 7 ? inside : outside) += 1;
    }
  }
  EXPECT_GT(inside, 8) << "the digits are drawn";
  EXPECT_EQ(outside, 0) << "nothing above or left of their cell corner";
  // At 150 % the same text is larger.
  const std::vector<bool> large =
      glyphs.Coverage(24, "5\xB0", PictureDigitsPlacement(2, 24), PictureDigitsFace(24));
  int largeCount = 0;
  for (bool c : large) largeCount += c;
  EXPECT_GT(largeCount, inside);
}

}  // namespace
}  // namespace corvella
