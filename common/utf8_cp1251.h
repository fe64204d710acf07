// The program's one UTF-8 to Windows-1251 decoder (forecast, rates page, catalogue, console
// input), with what becomes of bad input as its policy. The byte of a decoded character comes
// from tables built while compiling, so a Cyrillic letter costs one lookup.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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

// What a bad sequence (a stray follower, a lead without its followers, a form that is overlong,
// a surrogate or past U+10FFFF) does to the text. A character the code page lacks is '?' under
// every policy.
enum class BadInput {
  // The whole text is rejected (the forecast: a document that is not UTF-8 is not read).
  RejectsAll,
  // Each bad sequence is one '?': the lead and the followers up to the first byte that does not
  // continue it. No ASCII byte is swallowed or made (the catalogue, console input).
  QuestionMark,
  // Byte-wise (the rates page): a stray follower stands for itself, a bad sequence of the length
  // its lead names is dropped whole, and one cut by the end drops the rest.
  ByteWise,
};

inline constexpr std::size_t kRejected = static_cast<std::size_t>(-1);

// Decodes [p, end) into `out`, which holds at least end - p bytes (decoding never lengthens
// the text); returns the length written, or kRejected.
template <BadInput Policy>
std::size_t DecodeInto(const unsigned char* p, const unsigned char* const end, char* const out) {
  char* o = out;
  while (p < end) {
    std::size_t ascii = CopyAscii(p, end, o);
    p += ascii;
    o += ascii;
    // The letters: two-byte sequences, two at a time while they last, one look-up each. A lead
    // below C2 would be overlong and takes the slow way.
    while (end - p >= 4) {
      std::uint32_t w;
      std::memcpy(&w, p, 4);
      if ((w & 0xC0E0C0E0u) != 0x80C080C0u || (w & 0x1Eu) == 0 || (w & 0x1E0000u) == 0) break;
      o[0] = kBelow800[(w & 0x1Fu) << 6 | (w >> 8 & 0x3Fu)];
      o[1] = kBelow800[(w >> 16 & 0x1Fu) << 6 | (w >> 24 & 0x3Fu)];
      o += 2;
      p += 4;
    }
    while (end - p >= 2 && (p[0] & 0xE0u) == 0xC0u && (p[0] & 0x1Eu) != 0 && IsFollower(p[1])) {
      *o++ = kBelow800[(p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu)];
      p += 2;
    }
    if (p == end || *p < 0x80) continue;
    const unsigned char lead = *p;
    if constexpr (Policy == BadInput::RejectsAll) {
      const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
      if (length == 0 || static_cast<std::size_t>(end - p) < length) return kRejected;
      for (std::size_t k = 1; k < length; ++k) {
        if (!IsFollower(p[k])) return kRejected;
      }
      const long cp = DecodeChecked(p, length);
      if (cp < 0) return kRejected;
      *o++ = FromCodePoint(static_cast<char32_t>(cp));
      p += length;
    } else if constexpr (Policy == BadInput::QuestionMark) {
      const std::size_t length = lead >= 0xF8   ? 1
                                 : lead >= 0xF0 ? 4
                                 : lead >= 0xE0 ? 3
                                 : lead >= 0xC0 ? 2
                                                : 1;
      std::size_t k = 1;
      while (k < length && p + k < end && IsFollower(p[k])) ++k;
      const long cp = k == length && length > 1 ? DecodeChecked(p, length) : -1;
      *o++ = cp < 0 ? '?' : FromCodePoint(static_cast<char32_t>(cp));
      p += k;
    } else {
      if (lead < 0xC0) {  // a follower outside a sequence is a character of its own
        *o++ = static_cast<char>(lead);
        ++p;
        continue;
      }
      const std::size_t length = lead >= 0xFC   ? 6
                                 : lead >= 0xF8 ? 5
                                 : lead >= 0xF0 ? 4
                                 : lead >= 0xE0 ? 3
                                                : 2;
      if (static_cast<std::size_t>(end - p) < length) break;  // cut by the end: dropped
      bool wellFormed = length <= 4;
      for (std::size_t k = 1; wellFormed && k < length; ++k) wellFormed = IsFollower(p[k]);
      const long cp = wellFormed ? DecodeChecked(p, length) : -1;
      if (cp >= 0) *o++ = FromCodePoint(static_cast<char32_t>(cp));
      p += length;
    }
  }
  return static_cast<std::size_t>(o - out);
}

// The decoded text; empty when the policy rejects it.
template <BadInput Policy>
std::string Decode(std::string_view utf8) {
  std::string out(utf8.size(), '\0');
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t length = DecodeInto<Policy>(p, p + utf8.size(), out.data());
  if (length == kRejected) return {};
  out.resize(length);
  return out;
}

}  // namespace corvella::utf8_cp1251
