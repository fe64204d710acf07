#include "presentation/tray_digits_win32.h"

#include <windows.h>

#include "common/cp1251.h"
#include "common/handles_win32.h"
#include "presentation/tray_art_win32.h"

namespace corvella {
namespace {

constexpr std::uint32_t kUntouched = 0x00FFFFFF;
constexpr COLORREF kInk = RGB(0, 0, 0);

}  // namespace

std::vector<bool> GdiGlyphSource::Coverage(int size, std::string_view text, DigitPlacement at,
                                           const DigitFace& face) {
  std::vector<bool> covered(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), false);
  BITMAPINFO info = TopDownDibInfo(size);

  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  void* bits = nullptr;
  UniqueGdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dc || !bitmap || bits == nullptr) return covered;
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < covered.size(); ++i) pixels[i] = kUntouched;
  {
    SelectGuard selectBitmap(dc.get(), bitmap.get());
    // Whole pixels only: a smoothed edge would be half a digit in the two-colour mask.
    UniqueGdiObject font(CreateFontW(-face.pixelHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                     NONANTIALIASED_QUALITY, DEFAULT_PITCH, ToWide(face.name).c_str()));
    SelectGuard selectFont(dc.get(), font.get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), kInk);
    const std::wstring wide = ToWide(text);
    TextOutW(dc.get(), at.x, at.y, wide.c_str(), static_cast<int>(wide.size()));
    GdiFlush();
  }
  for (std::size_t i = 0; i < covered.size(); ++i) covered[i] = (pixels[i] & 0x00FFFFFF) != kUntouched;
  return covered;
}

}  // namespace corvella
