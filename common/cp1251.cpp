#include "common/cp1251.h"

#include "common/utf8_cp1251.h"

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
  return utf8_cp1251::Decode<utf8_cp1251::BadInput::QuestionMark>(utf8);
}

}  // namespace corvella
