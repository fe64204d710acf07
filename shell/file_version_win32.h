#pragma once

#include <string>
#include <string_view>

namespace corvella {

// The FileVersion text of the first translation in a file's version resource; "0.0.0.0" when
// the file has none, or the text is missing or shorter than two characters. Never fails.
std::string ReadFileVersion(std::wstring_view path);
// The running program's own executable.
std::wstring OwnExecutablePath();

}  // namespace corvella
