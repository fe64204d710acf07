#include "presentation/tray_art.h"

#include <string_view>

namespace corvella {
namespace {

// '.' transparent; 'o' cloud outline; 'c' cloud; 'h' cloud highlight; 'r' sun rim; 's' sun.
constexpr std::string_view kCloudOverSun[kTrayIconSize] = {
    "................",
    "......ooo.......",
    ".....ohhhoo.....",
    "..oo.ohcccco....",
    ".ohhoohcccccoo..",
    "ohccccccccccchho",
    "occcccccccccccco",
    "occcccccccccccco",
    ".occcccccccccco.",
    "..oooooooooooo..",
    "...rsssssssssr..",
    "r...rsssssssr..r",
    "..r..rsssssr..r.",
    "......rrrrr.....",
    "....r...r...r...",
    "................",
};

struct Palette {
  std::uint32_t outline, cloud, highlight, rim, sun;
};

TrayPicture Draw(const Palette& p) {
  TrayPicture out{};
  for (int y = 0; y < kTrayIconSize; ++y) {
    for (int x = 0; x < kTrayIconSize; ++x) {
      std::uint32_t colour = 0;
      switch (kCloudOverSun[y][static_cast<std::size_t>(x)]) {
        case 'o': colour = p.outline; break;
        case 'c': colour = p.cloud; break;
        case 'h': colour = p.highlight; break;
        case 'r': colour = p.rim; break;
        case 's': colour = p.sun; break;
        default: break;
      }
      out[static_cast<std::size_t>(y * kTrayIconSize + x)] = colour;
    }
  }
  return out;
}

}  // namespace

const TrayPicture& WaitingPicture() {
  static const TrayPicture picture =
      Draw({0xFF5A5A5A, 0xFFB4B4B4, 0xFFD2D2D2, 0xFF6E6E6E, 0xFF969696});
  return picture;
}

const TrayPicture& WeatherPicture() {
  static const TrayPicture picture =
      Draw({0xFF4A5A6E, 0xFFE6EAF0, 0xFFFFFFFF, 0xFFE07810, 0xFFFFC828});
  return picture;
}

}  // namespace corvella
