#pragma once

#include <windows.h>

#include <string_view>

#include "common/handles_win32.h"
#include "presentation/tray_art.h"
#include "presentation/tray_digits.h"

namespace corvella {

struct DigitFace {
  const wchar_t* name;
  int pixelHeight;
};

// "Smal Fonts" is asked for by that name; font matching supplies the nearest face.
inline constexpr DigitFace kPictureDigitsFace = {L"Smal Fonts", kPictureDigitsPixelHeight};
inline constexpr DigitFace kDigitsOnlyFace = {L"Arial", kDigitsOnlyPixelHeight};

// A 16x16 picture with `text` drawn over `base` (or over nothing), only the glyph pixels
// painted, in `colour` (0x00BBGGRR).
TrayPicture DrawDigits(const TrayPicture* base, std::string_view text, DigitPlacement at, const DigitFace& face,
                       COLORREF colour);

}  // namespace corvella
