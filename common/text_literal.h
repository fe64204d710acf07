// Cyrillic literals: source files are UTF-8, the program's text is Windows-1251.
// "Закрыть"_cp is converted while compiling, the same with GCC and Clang, and a
// character the code page lacks is a compile error.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "common/cp1251.h"

namespace corvella {
namespace text_literal_detail {

template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&s)[N]) {  // NOLINT: implicit by design
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
};

// Walks one UTF-8 sequence at bytes[i]; returns its code point and advances i.
template <std::size_t N>
constexpr char32_t NextCodePoint(const Utf8Literal<N>& lit, std::size_t& i) {
  unsigned char lead = static_cast<unsigned char>(lit.bytes[i++]);
  if (lead < 0x80) return lead;
  std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 4;
  if (extra == 4) throw "invalid UTF-8 in a text literal";
  char32_t cp = lead & (0x3Fu >> extra);
  for (std::size_t k = 0; k < extra; ++k) {
    unsigned char next = static_cast<unsigned char>(lit.bytes[i++]);
    if ((next & 0xC0) != 0x80) throw "invalid UTF-8 in a text literal";
    cp = (cp << 6) | (next & 0x3Fu);
  }
  return cp;
}

template <std::size_t N>
constexpr std::size_t CountChars(const Utf8Literal<N>& lit) {
  std::size_t count = 0;
  for (std::size_t i = 0; i + 1 < N;) {
    NextCodePoint(lit, i);
    ++count;
  }
  return count;
}

template <Utf8Literal L>
consteval auto Convert() {
  std::array<char, CountChars(L) + 1> out{};
  std::size_t o = 0;
  for (std::size_t i = 0; i + 1 < sizeof(L.bytes);) {
    int b = UnicodeToCp1251(NextCodePoint(L, i));
    if (b < 0) throw "character not in Windows-1251";
    out[o++] = static_cast<char>(b);
  }
  return out;
}

template <Utf8Literal L>
inline constexpr auto kStorage = Convert<L>();

}  // namespace text_literal_detail

inline namespace literals {
template <text_literal_detail::Utf8Literal L>
consteval std::string_view operator""_cp() {
  const auto& s = text_literal_detail::kStorage<L>;
  return std::string_view(s.data(), s.size() - 1);
}
}  // namespace literals

}  // namespace corvella
