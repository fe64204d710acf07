#include "presentation/tray_art_win32.h"

#include <cstring>
#include <vector>

namespace corvella {

UniqueIcon MakeIcon(const TrayPicture& picture) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = kTrayIconSize;
  header.bV5Height = -kTrayIconSize;  // top-down rows, as the picture is stored
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;

  HDC screen = GetDC(nullptr);
  void* bits = nullptr;
  UniqueGdiObject colour(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                          &bits, nullptr, 0));
  ReleaseDC(nullptr, screen);
  if (!colour || bits == nullptr) return UniqueIcon();
  std::memcpy(bits, picture.data(), sizeof picture);

  // Monochrome mask: set bits are transparent. Rows are padded to 16 bits.
  std::vector<unsigned char> mask(kTrayIconSize * 2, 0);
  for (int y = 0; y < kTrayIconSize; ++y) {
    for (int x = 0; x < kTrayIconSize; ++x) {
      if ((picture[static_cast<std::size_t>(y * kTrayIconSize + x)] >> 24) == 0) {
        mask[static_cast<std::size_t>(y * 2 + x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
      }
    }
  }
  UniqueGdiObject maskBitmap(CreateBitmap(kTrayIconSize, kTrayIconSize, 1, 1, mask.data()));

  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = static_cast<HBITMAP>(colour.get());
  info.hbmMask = static_cast<HBITMAP>(maskBitmap.get());
  return UniqueIcon(CreateIconIndirect(&info));
}

}  // namespace corvella
