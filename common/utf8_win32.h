// UTF-8 for texts that must keep every character: file paths, which may hold letters that
// Windows-1251 lacks.
#pragma once

#include <string>
#include <string_view>

namespace corvella {

std::string WideToUtf8(std::wstring_view text);
// Bytes that are not UTF-8 become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);

}  // namespace corvella
