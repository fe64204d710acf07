#include "presentation/digit_colour.h"

#include <cmath>

namespace corvella {
namespace {

// The taskbar's tone behind the icons: Windows 10 and 11 paint it about this dark or light.
constexpr std::uint32_t kDarkTaskbar = 0x00202020;
constexpr std::uint32_t kLightTaskbar = 0x00EEEEEE;
// Below this contrast ratio (the one legibility guidelines use; 4.5 is their figure for body
// text, 3 for large or bold) the bold digits get their rim.
constexpr double kLeastContrast = 3.0;

double Channel(std::uint32_t colour, int shift) {
  const double c = static_cast<double>((colour >> shift) & 0xFF) / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(std::uint32_t colour) {
  return 0.2126 * Channel(colour, 0) + 0.7152 * Channel(colour, 8) + 0.0722 * Channel(colour, 16);
}

double Contrast(std::uint32_t a, std::uint32_t b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::fmax(la, lb) + 0.05) / (std::fmin(la, lb) + 0.05);
}

}  // namespace

DigitInk ChooseDigitInk(std::optional<std::uint32_t> stored, const TaskbarLook& look) {
  // A high-contrast scheme's text colour is meant to stand out from its own background.
  const bool dark = look.highContrastText ? Luminance(*look.highContrastText) > 0.5 : !look.light;
  if (!stored) {
    if (look.highContrastText) return {*look.highContrastText, std::nullopt};
    return {dark ? kDigitNearWhite : kDigitBlack, std::nullopt};
  }
  DigitInk ink{*stored, std::nullopt};
  if (Contrast(*stored, dark ? kDarkTaskbar : kLightTaskbar) < kLeastContrast) {
    ink.rim = dark ? kDigitNearWhite : kDigitBlack;
  }
  return ink;
}

}  // namespace corvella
