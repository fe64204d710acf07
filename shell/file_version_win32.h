#pragma once

#include <string>
#include <string_view>

namespace corvella {

// The FileVersion text of the first translation in a file's version resource;
// empty when the file has none.
std::string ReadFileVersion(std::wstring_view path);
// The running program's own executable.
std::wstring OwnExecutablePath();

}  // namespace corvella
