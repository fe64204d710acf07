#include "gateway/release_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace corvella::gateway {

namespace {

constexpr std::string_view kChecksum = ".sha256";

// A regular file named in the folder itself (never a symlink, so never anything outside it),
// read whole, with its status from the open file before and after: a file being written while
// it is read is not taken.
std::optional<std::string> ReadWhole(int dirFd, const std::string& name, std::size_t largest, struct stat& st) {
  const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> out;
  struct stat after {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= largest) {
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got == bytes.size() && fstat(fd, &after) == 0 && after.st_size == st.st_size &&
        after.st_mtim.tv_sec == st.st_mtim.tv_sec && after.st_mtim.tv_nsec == st.st_mtim.tv_nsec) {
      out = std::move(bytes);
    }
  }
  close(fd);
  return out;
}

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// The hex digest a checksum file starts with ("HEX" or "HEX  NAME", either case).
std::string DigestIn(std::string text) {
  std::string hex;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) break;
    hex += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return hex.size() == 64 ? hex : std::string();
}

// What identifies a checksum file and the file it names, as written.
std::string Signature(const std::string& name, const struct stat& sum, const struct stat& exe) {
  return name + " " + std::to_string(sum.st_ctim.tv_sec) + "." + std::to_string(sum.st_ctim.tv_nsec) + " " +
         std::to_string(exe.st_ino) + " " + std::to_string(exe.st_size) + " " + std::to_string(exe.st_ctim.tv_sec) +
         "." + std::to_string(exe.st_ctim.tv_nsec);
}

}  // namespace

std::shared_ptr<const Release> ReleaseFolder::Current() {
  std::lock_guard lock(mutex_);
  const std::time_t now = std::time(nullptr);
  if (now != scannedAt_) {
    scannedAt_ = now;
    Rescan(now);
  }
  return current_;
}

void ReleaseFolder::Rescan(std::time_t now) {
  if (dir_.empty()) return;
  const int dirFd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  // The checksums, newest first by the time each was written into the folder.
  std::vector<std::pair<struct timespec, std::string>> sums;
  if (DIR* d = fdopendir(dup(dirFd))) {
    while (dirent* e = readdir(d)) {
      std::string_view name = e->d_name;
      struct stat st {};
      if (name.size() <= kChecksum.size() + 4 || name.substr(name.size() - kChecksum.size()) != kChecksum) continue;
      if (name.substr(name.size() - kChecksum.size() - 4, 4) != ".exe") continue;
      if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
      sums.emplace_back(st.st_ctim, e->d_name);
    }
    closedir(d);
  }
  std::sort(sums.begin(), sums.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first.tv_sec, a.first.tv_nsec, a.second) > std::tie(b.first.tv_sec, b.first.tv_nsec, b.second);
  });
  // The newest whose file matches it is served; what is wrong with a newer one is logged once.
  std::string problem = sums.empty() ? "no NAME.exe.sha256 in " + dir_ : std::string();
  std::map<std::string, std::string> failed;
  for (const auto& [at, name] : sums) {
    const std::string exe = name.substr(0, name.size() - kChecksum.size());
    struct stat sumSt {}, exeSt {};
    std::optional<std::string> sum, bytes;
    std::string wrong;
    if (!(sum = ReadWhole(dirFd, name, 4096, sumSt)) || DigestIn(*sum).empty()) {
      wrong = name + " holds no SHA-256";
    } else if (current_ && current_->name == exe && current_->etag == "\"" + DigestIn(*sum) + "\"") {
      break;  // already served
    } else if (fstatat(dirFd, exe.c_str(), &exeSt, AT_SYMLINK_NOFOLLOW) == 0 &&
               failed_.count(name) && failed_[name] == Signature(name, sumSt, exeSt)) {
      wrong = "-";  // found wrong before, and unchanged since: not read again
    } else if (!(bytes = ReadWhole(dirFd, exe, kLargest, exeSt))) {
      wrong = exe + " cannot be read whole (missing, not a plain file, larger than 256 MiB, or changing)";
    } else if (Sha256Hex(*bytes) != DigestIn(*sum)) {
      wrong = exe + " does not match " + name + " (still being copied?)";
    } else {
      auto r = std::make_shared<Release>();
      r->name = exe;
      r->bytes = std::make_shared<const std::string>(std::move(*bytes));
      r->published = sumSt.st_ctim.tv_sec;
      r->modified = std::min(exeSt.st_mtim.tv_sec, r->published);
      r->etag = "\"" + DigestIn(*sum) + "\"";
      if (exeSt.st_mtim.tv_sec > now) log_("release: " + exe + " is dated in the future; its date is taken as now");
      log_("release: serving " + exe + " (" + std::to_string(r->bytes->size()) + " bytes)");
      current_ = std::move(r);
      break;
    }
    failed[name] = Signature(name, sumSt, exeSt);
    if (problem.empty()) problem = wrong == "-" ? tried_ : wrong;
  }
  close(dirFd);
  failed_ = std::move(failed);
  if (!problem.empty() && problem != tried_) {
    log_("release: " + problem + (current_ ? "; serving " + current_->name : "; nothing served"));
  }
  tried_ = problem;
}

}  // namespace corvella::gateway
