// Shared by the UTF-8 decoders (forecast, rates page, catalogue): the Windows-1251 byte of a decoded UTF-8 character,
// from tables built while compiling, so a Cyrillic letter costs one lookup.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "common/cp1251.h"

namespace corvella::utf8_cp1251 {

// Code points below 0x800 (one- and two-byte sequences).
inline constexpr std::array<char, 0x800> kBelow800 = [] {
  std::array<char, 0x800> t{};
  for (char32_t cp = 0; cp < 0x800; ++cp) {
    int b = UnicodeToCp1251(cp);
    t[cp] = static_cast<char>(b < 0 ? '?' : b);
  }
  return t;
}();

// The only three-byte characters the code page holds lie in U+2000..U+213F
// (dashes, quotes, the euro sign, the numero sign, the trade mark sign).
inline constexpr char32_t kPunctFirst = 0x2000;
inline constexpr std::array<char, 0x140> kPunctuation = [] {
  std::array<char, 0x140> t{};
  for (char32_t i = 0; i < t.size(); ++i) {
    int b = UnicodeToCp1251(kPunctFirst + i);
    t[i] = static_cast<char>(b < 0 ? '?' : b);
  }
  return t;
}();

inline char FromCodePoint(char32_t cp) {
  if (cp < 0x800) return kBelow800[cp];
  if (cp - kPunctFirst < kPunctuation.size()) return kPunctuation[cp - kPunctFirst];
  return '?';
}

inline bool IsFollower(unsigned char b) { return (b & 0xC0) == 0x80; }

// Copies the run of ASCII bytes at `in` (eight at a time) and returns how many it copied.
inline std::size_t CopyAscii(const unsigned char* in, const unsigned char* end, char* out) {
  const unsigned char* p = in;
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (word & 0x8080808080808080ull) break;
    std::memcpy(out, p, 8);
    p += 8;
    out += 8;
  }
  while (p < end && *p < 0x80) *out++ = static_cast<char>(*p++);
  return static_cast<std::size_t>(p - in);
}

// The code point of a complete sequence of `length` bytes (2 to 4) whose followers have
// been checked, or -1 for a form that is not valid UTF-8: overlong, a surrogate, or
// beyond U+10FFFF.
inline long DecodeChecked(const unsigned char* s, std::size_t length) {
  char32_t cp;
  char32_t least;
  switch (length) {
    case 2:
      cp = (char32_t{s[0] & 0x1Fu} << 6) | (s[1] & 0x3Fu);
      least = 0x80;
      break;
    case 3:
      cp = (char32_t{s[0] & 0x0Fu} << 12) | (char32_t{s[1] & 0x3Fu} << 6) | (s[2] & 0x3Fu);
      least = 0x800;
      break;
    case 4:
      if (s[0] >= 0xF8) return -1;  // a five- or six-byte lead
      cp = (char32_t{s[0] & 0x07u} << 18) | (char32_t{s[1] & 0x3Fu} << 12) | (char32_t{s[2] & 0x3Fu} << 6) |
           (s[3] & 0x3Fu);
      least = 0x10000;
      break;
    default:
      return -1;
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return static_cast<long>(cp);
}

}  // namespace corvella::utf8_cp1251
