#include <windows.h>

#include <optional>
#include <string>

#include "common/cp1251.h"
#include "common/error.h"
#include "retrieval/version_check.h"

namespace corvella {
namespace {

[[noreturn]] void FailDate() { throw Error("Invalid argument to date encode"); }

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

// The file's last-write time in local time, packed as a file-system date (two-second
// steps, 1980 to 2107) and unpacked onto the date scale.
class Win32FileDate : public OwnFileDate {
 public:
  explicit Win32FileDate(std::optional<std::wstring> path) : path_(std::move(path)) {}

  DateTime Read() const override {
    std::wstring path = path_ ? *path_ : ExecutablePath();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time)) {
      FailDate();
    }
    CivilTime t{
        {1980 + (date >> 9), (date >> 5) & 15, date & 31}, time >> 11, (time >> 5) & 63, (time & 31) * 2};
    if (t.date.month < 1 || t.date.month > 12 || t.date.day < 1 || t.hour > 23 || t.minute > 59 ||
        t.second > 59) {
      FailDate();
    }
    return EncodeDateTime(t);
  }

 private:
  std::optional<std::wstring> path_;  // none: the running executable
};

}  // namespace

std::unique_ptr<OwnFileDate> MakeOwnFileDate() { return std::make_unique<Win32FileDate>(std::nullopt); }

std::unique_ptr<OwnFileDate> MakeFileDate(std::string path) {
  return std::make_unique<Win32FileDate>(ToWide(path));
}

}  // namespace corvella
