// The resources linked into corvella.exe, read back through the Windows API.
#include <windows.h>

#include <gtest/gtest.h>

#include "presentation/tray_art_win32.h"
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
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0419);
  EXPECT_EQ(translation[1], 0x04E3);
}

TEST(AppResources, ManifestAskesForCommonControls6AndPerMonitorDpi) {
  HMODULE exe = LoadLibraryExW(CORVELLA_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC res = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(res, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(exe, res)));
  std::string manifest(text, SizeofResource(exe, res));
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("PerMonitor"), std::string::npos);
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
  UniqueIcon icon = MakeIcon(WaitingPicture());
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon.get(), &info));
  UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
  BITMAP bm{};
  GetObjectW(mask.get(), sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 16);
  HDC dc = CreateCompatibleDC(nullptr);
  {
    SelectGuard select(dc, mask.get());
    int transparent = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        bool clear = (WaitingPicture()[static_cast<size_t>(y * 16 + x)] >> 24) == 0;
        bool maskSet = GetPixel(dc, x, y) != RGB(0, 0, 0);
        EXPECT_EQ(maskSet, clear) << x << "," << y;
        transparent += clear;
      }
    }
    EXPECT_GT(transparent, 40);   // a picture, not a square
    EXPECT_LT(transparent, 200);
  }
  DeleteDC(dc);
}

}  // namespace
}  // namespace corvella
