// Where the temperature goes on the 16x16 tray pictures: the longer the text, the further
// left it starts, so one or two characters sit over the lower right of the picture.
#pragma once

#include <cstddef>

namespace corvella {

struct DigitPlacement {
  int x = 0;
  int y = 0;
};

// Over the weather picture (entry 2), in the small bold face.
DigitPlacement PictureDigitsPlacement(std::size_t characters);
// The digits alone (entry 3), in the larger bold face; a long text loses its leftmost column.
DigitPlacement DigitsOnlyPlacement(std::size_t characters);

inline constexpr int kPictureDigitsPixelHeight = 9;    // 7 points at 96 dpi
inline constexpr int kDigitsOnlyPixelHeight = 11;      // 8 points at 96 dpi

}  // namespace corvella
