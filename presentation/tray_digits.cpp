#include "presentation/tray_digits.h"

namespace corvella {

DigitPlacement PictureDigitsPlacement(std::size_t characters) {
  return {characters == 1 ? 10 : characters == 2 ? 6 : 3, 7};
}

DigitPlacement DigitsOnlyPlacement(std::size_t characters) {
  return {characters == 1 ? 5 : characters == 2 ? 2 : -1, 1};
}

}  // namespace corvella
