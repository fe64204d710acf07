#include "shell/file_version_win32.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/cp1251.h"
#include "common/system_function_win32.h"

namespace corvella {
namespace {

// version.dll is not one of the system's known DLLs: imported, the loader would take a file of
// that name from the program's folder before the system's. It is loaded from the system folder.
struct VersionLibrary {
  DWORD(WINAPI* infoSize)(const wchar_t*, DWORD*) = nullptr;
  BOOL(WINAPI* info)(const wchar_t*, DWORD, DWORD, void*) = nullptr;
  BOOL(WINAPI* query)(const void*, const wchar_t*, void**, UINT*) = nullptr;
};

const VersionLibrary& Version() {
  static const VersionLibrary table = [] {
    HMODULE library = LoadSystemLibrary(L"version.dll");
    VersionLibrary found{SystemFunction<decltype(found.infoSize)>(library, "GetFileVersionInfoSizeW"),
                         SystemFunction<decltype(found.info)>(library, "GetFileVersionInfoW"),
                         SystemFunction<decltype(found.query)>(library, "VerQueryValueW")};
    if (!found.infoSize || !found.info || !found.query) found = VersionLibrary{};
    return found;
  }();
  return table;
}

}  // namespace

std::string ReadFileVersion(std::wstring_view path) {
  const std::string kNone = "0.0.0.0";
  const VersionLibrary& version = Version();
  if (version.query == nullptr) return kNone;
  std::wstring file(path);
  DWORD ignored = 0;
  DWORD size = version.infoSize(file.c_str(), &ignored);
  if (size == 0) return kNone;
  std::vector<unsigned char> block(size);
  if (!version.info(file.c_str(), 0, size, block.data())) return kNone;
  // The first translation names the string table; without one the table's name is empty.
  std::wstring query = L"\\StringFileInfo\\";
  const WORD* translation = nullptr;
  UINT length = 0;
  if (version.query(block.data(), L"\\VarFileInfo\\Translation",
                    reinterpret_cast<void**>(const_cast<WORD**>(&translation)), &length) &&
      translation != nullptr && length >= 4) {
    wchar_t part[16];
    std::swprintf(part, 16, L"%04X%04X", translation[0], translation[1]);
    query += part;
  }
  query += L"\\FileVersion";
  const wchar_t* value = nullptr;
  if (!version.query(block.data(), query.c_str(), reinterpret_cast<void**>(const_cast<wchar_t**>(&value)),
                     &length) ||
      value == nullptr) {
    return kNone;
  }
  std::wstring text(value, wcsnlen(value, length));
  return text.size() < 2 ? kNone : FromWide(text);
}

std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace corvella
