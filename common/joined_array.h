// Arrays joined end to end while compiling: tables made of a written part and a derived part.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>

namespace corvella {

template <class T, std::size_t... N>
constexpr std::array<T, (N + ... + 0)> Joined(const std::array<T, N>&... parts) {
  std::array<T, (N + ... + 0)> joined{};
  auto at = joined.begin();
  ((at = std::copy(parts.begin(), parts.end(), at)), ...);
  return joined;
}

}  // namespace corvella
