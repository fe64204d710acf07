#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <optional>
#include <string>

#include "common/error.h"
#include "retrieval/version_check.h"

namespace corvella {
namespace {

// A packed file date covers 1980 to 2107 in steps of two seconds, as on Windows.
class PosixFileDate : public OwnFileDate {
 public:
  explicit PosixFileDate(std::optional<std::string> path) : path_(std::move(path)) {}

  DateTime Read() const override {
    std::string path = path_ ? *path_ : ExecutablePath();
    struct stat st {};
    std::tm tm{};
    if (path.empty() || stat(path.c_str(), &st) != 0 || localtime_r(&st.st_mtime, &tm) == nullptr ||
        tm.tm_year + 1900 < 1980 || tm.tm_year + 1900 > 2107) {
      throw Error("Invalid argument to date encode");
    }
    return EncodeDateTime(
        CivilTime{{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour, tm.tm_min, tm.tm_sec / 2 * 2});
  }

 private:
  static std::string ExecutablePath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return {};
    return std::string(buf, static_cast<std::size_t>(n));
  }

  std::optional<std::string> path_;  // none: the running executable
};

}  // namespace

std::unique_ptr<OwnFileDate> MakeOwnFileDate() { return std::make_unique<PosixFileDate>(std::nullopt); }

std::unique_ptr<OwnFileDate> MakeFileDate(std::string path) {
  return std::make_unique<PosixFileDate>(std::move(path));
}

}  // namespace corvella
