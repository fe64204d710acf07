// Where and in which face the temperature goes on the tray pictures: the longer the text,
// the further left it starts, so one or two characters sit over the lower right of the
// picture. Figures are those of the 16x16 picture, scaled for larger icons.
#pragma once

#include <cstddef>
#include <string_view>

#include "presentation/tray_bitmap.h"

namespace corvella {

struct DigitPlacement {
  int x = 0;
  int y = 0;
  bool operator==(const DigitPlacement&) const = default;
};

struct DigitFace {
  std::string_view name;
  int pixelHeight;  // character height
  bool operator==(const DigitFace&) const = default;
};

// A 16x16 figure at `size` pixels, rounded to the nearest (halves away from zero).
int ScaleToIcon(int value, int size);

// Over the weather picture (entry 2), in the small bold face.
DigitPlacement PictureDigitsPlacement(std::size_t characters, int size = kTrayIconSize);
// The digits alone (entry 3), in the larger bold face; a long text loses its leftmost column.
DigitPlacement DigitsOnlyPlacement(std::size_t characters, int size = kTrayIconSize);

// "Smal Fonts" is asked for by that name; font matching supplies the nearest face.
DigitFace PictureDigitsFace(int size = kTrayIconSize);  // 7 points: 9 pixels at 96 dpi
DigitFace DigitsOnlyFace(int size = kTrayIconSize);     // "Arial" 8 points: 11 pixels

}  // namespace corvella
