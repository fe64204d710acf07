// A square picture of the tray icon's size, the form every tray picture, mask and glyph
// takes between the artwork files and the shell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvella {

// The notification area's icon size at 96 dpi; larger scales use 20 to 48.
inline constexpr int kTrayIconSize = 16;

// 0xAARRGGBB per pixel, rows from the top.
struct TrayBitmap {
  int size = 0;
  std::vector<std::uint32_t> pixels;

  TrayBitmap() = default;
  TrayBitmap(int side, std::uint32_t fill)
      : size(side), pixels(static_cast<std::size_t>(side) * static_cast<std::size_t>(side), fill) {}
  std::uint32_t& at(int x, int y) { return pixels[Index(x, y)]; }
  std::uint32_t at(int x, int y) const { return pixels[Index(x, y)]; }
  bool operator==(const TrayBitmap&) const = default;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x);
  }
};

inline constexpr std::uint32_t Alpha(std::uint32_t argb) { return argb >> 24; }

}  // namespace corvella
