// The 16x16 tray pictures, drawn as character maps so they live in the source tree
// and read like the pictures they are.
#pragma once

#include <array>
#include <cstdint>

namespace corvella {

inline constexpr int kTrayIconSize = 16;

// 0xAARRGGBB per pixel, row by row from the top; alpha 0 is transparent.
using TrayPicture = std::array<std::uint32_t, kTrayIconSize * kTrayIconSize>;

// Entry 0: a grey cloud over a grey sun that peeks out below it (no data yet).
const TrayPicture& WaitingPicture();
// Entry 1: the same drawing in colour: a white-grey cloud over a yellow-orange sun.
const TrayPicture& WeatherPicture();

}  // namespace corvella
