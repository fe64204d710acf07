// The program's name, shared by every layer: the window title a running instance is recognised
// by, the tray hint before any data, and the title of the notices.
#pragma once

#include <string_view>

namespace corvella {

inline constexpr std::string_view kProductName = "Corvella";

}  // namespace corvella
