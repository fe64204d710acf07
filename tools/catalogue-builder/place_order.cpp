#include "tools/catalogue-builder/place_order.h"

#include <algorithm>

namespace corvella {

std::optional<std::u32string> DecodeUtf8(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
    } else if (lead >= 0x80) {
      return std::nullopt;
    }
    if (extra > utf8.size() - i - 1) return std::nullopt;
    char32_t cp = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (next & 0x3Fu);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

char32_t FoldForOrder(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c >= U'А' && c <= U'Я') c += 0x20;
  if (c == U'Ё' || c == U'ё') return U'е';
  return c;
}

std::u32string FoldForOrder(std::u32string_view text) {
  std::u32string out(text);
  for (char32_t& c : out) c = FoldForOrder(c);
  return out;
}

int ComparePlaces(std::u32string_view a, std::u32string_view b) {
  auto folded = std::lexicographical_compare_three_way(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char32_t x, char32_t y) { return FoldForOrder(x) <=> FoldForOrder(y); });
  if (folded != 0) return folded < 0 ? -1 : 1;
  int raw = a.compare(b);
  return raw < 0 ? -1 : raw > 0 ? 1 : 0;
}

bool PlaceBefore(std::string_view a, std::string_view b) {
  std::optional<std::u32string> wideA = DecodeUtf8(a);
  std::optional<std::u32string> wideB = DecodeUtf8(b);
  if (wideA && wideB) return ComparePlaces(*wideA, *wideB) < 0;
  if (wideA || wideB) return wideA.has_value();
  return a < b;
}

std::size_t CountUtf8Chars(std::string_view utf8) {
  return static_cast<std::size_t>(std::count_if(
      utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace corvella
