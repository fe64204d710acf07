#include "presentation/tray_digits_win32.h"

#include <cstring>

#include "common/cp1251.h"

namespace corvella {
namespace {

// Fuchsia marks the pixels the text did not touch.
constexpr std::uint32_t kKey = 0x00FF00FF;

}  // namespace

TrayPicture DrawDigits(const TrayPicture* base, std::string_view text, DigitPlacement at, const DigitFace& face,
                       COLORREF colour) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kTrayIconSize;
  info.bmiHeader.biHeight = -kTrayIconSize;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  TrayPicture out{};
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  void* bits = nullptr;
  UniqueGdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dc || !bitmap || bits == nullptr) return base != nullptr ? *base : out;
  auto* pixels = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < out.size(); ++i) {
    pixels[i] = (base != nullptr && ((*base)[i] >> 24) != 0) ? ((*base)[i] & 0x00FFFFFF) : kKey;
  }
  // A colour equal to the key would vanish; nudge it by one step of blue.
  if ((colour & 0x00FFFFFF) == 0x00FF00FF) colour = RGB(255, 0, 254);

  {
    SelectGuard selectBitmap(dc.get(), bitmap.get());
    UniqueGdiObject font(CreateFontW(-face.pixelHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                     DEFAULT_PITCH, face.name));
    SelectGuard selectFont(dc.get(), font.get());
    SetBkMode(dc.get(), TRANSPARENT);
    SetTextColor(dc.get(), colour);
    std::wstring wide = ToWide(text);
    TextOutW(dc.get(), at.x, at.y, wide.c_str(), static_cast<int>(wide.size()));
    GdiFlush();
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::uint32_t rgb = pixels[i] & 0x00FFFFFF;
    out[i] = rgb == kKey ? 0 : (0xFF000000 | rgb);
  }
  return out;
}

}  // namespace corvella
