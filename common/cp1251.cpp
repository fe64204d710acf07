#include "common/cp1251.h"

namespace corvella {

std::wstring ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<wchar_t>(Cp1251ToUnicode(static_cast<unsigned char>(c))));
  return out;
}

std::string FromWide(std::wstring_view text, char replacement) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = static_cast<char32_t>(text[i]);
    // A surrogate pair is one character, which the code page never has.
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      char32_t low = static_cast<char32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) ++i;
    }
    int b = UnicodeToCp1251(cp);
    out.push_back(b < 0 ? replacement : static_cast<char>(b));
  }
  return out;
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    char32_t cp = Cp1251ToUnicode(static_cast<unsigned char>(c));
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string Utf8ToCp1251Lenient(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t cp = lead < 0x80 ? lead : lead & (0x3Fu >> extra);
    bool ok = lead < 0x80 || (lead >= 0xC0 && lead < 0xF8);
    std::size_t j = 1;
    for (; ok && j <= extra; ++j) {
      if (i + j >= utf8.size()) { ok = false; break; }
      unsigned char next = static_cast<unsigned char>(utf8[i + j]);
      if ((next & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (next & 0x3Fu);
    }
    int b = ok ? UnicodeToCp1251(cp) : -1;
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
    i += ok ? extra + 1 : j;
  }
  return out;
}

}  // namespace corvella
