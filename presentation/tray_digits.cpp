#include "presentation/tray_digits.h"

namespace corvella {
namespace {

constexpr std::string_view kPictureDigitsFaceName = "Smal Fonts";
constexpr std::string_view kDigitsOnlyFaceName = "Arial";
constexpr int kPictureDigitsPixelHeight = 9;
constexpr int kDigitsOnlyPixelHeight = 11;

}  // namespace

int ScaleToIcon(int value, int size) {
  const int scaled = value * size;
  const int half = kTrayIconSize / 2;
  return scaled >= 0 ? (scaled + half) / kTrayIconSize : -((-scaled + half) / kTrayIconSize);
}

DigitPlacement PictureDigitsPlacement(std::size_t characters, int size) {
  const int x = characters == 1 ? 10 : characters == 2 ? 6 : 3;
  return {ScaleToIcon(x, size), ScaleToIcon(7, size)};
}

DigitPlacement DigitsOnlyPlacement(std::size_t characters, int size) {
  const int x = characters == 1 ? 5 : characters == 2 ? 2 : -1;
  return {ScaleToIcon(x, size), ScaleToIcon(1, size)};
}

DigitFace PictureDigitsFace(int size) {
  return {kPictureDigitsFaceName, ScaleToIcon(kPictureDigitsPixelHeight, size)};
}

DigitFace DigitsOnlyFace(int size) {
  return {kDigitsOnlyFaceName, ScaleToIcon(kDigitsOnlyPixelHeight, size)};
}

}  // namespace corvella
