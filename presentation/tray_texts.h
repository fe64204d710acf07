// How much of a text the shell's record has room for: the tooltip keeps 127 characters,
// a balloon's text 255 and its title 63 (each field also holds the terminating zero).
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace corvella {

inline constexpr std::size_t kTipLength = 127;
inline constexpr std::size_t kBalloonTextLength = 255;
inline constexpr std::size_t kBalloonTitleLength = 63;

inline std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  return text.substr(0, std::min(text.size(), count));
}
inline std::string_view TipText(std::string_view hint) { return FirstCharacters(hint, kTipLength); }
inline std::string_view BalloonText(std::string_view text) {
  return FirstCharacters(text, kBalloonTextLength);
}
inline std::string_view BalloonTitle(std::string_view title) {
  return FirstCharacters(title, kBalloonTitleLength);
}

}  // namespace corvella
