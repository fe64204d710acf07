// The update file, as an operator publishes it into the release folder: NAME.exe, then beside it
// NAME.exe.sha256 (the file's SHA-256 in hex, as sha256sum prints it). The newest checksum file,
// by the time it appeared in the folder (which no copying tool sets), names the release; its file
// is served once it matches, from a copy held in memory that nothing written to the folder can
// change. Until a new one matches, the last good one goes on being served, and what is wrong is
// logged once.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace corvella::gateway {

struct Release {
  std::string name;
  std::shared_ptr<const std::string> bytes;
  std::time_t modified = 0;   // the file's own date (the build's), never later than `published`
  std::time_t published = 0;  // when its checksum appeared
  std::string etag;           // the checksum, quoted
};

class ReleaseFolder {
 public:
  static constexpr std::size_t kLargest = 256u << 20;
  ReleaseFolder(std::string dir, std::function<void(const std::string&)> log)
      : dir_(std::move(dir)), log_(std::move(log)) {}
  // The release to serve (null when none has ever matched); the folder is looked at again at
  // most once a second.
  std::shared_ptr<const Release> Current();

 private:
  void Rescan(std::time_t now);  // under mutex_
  std::string dir_;
  std::function<void(const std::string&)> log_;
  std::mutex mutex_;
  std::time_t scannedAt_ = 0;
  std::shared_ptr<const Release> current_;
  std::string tried_;   // what the last look found wrong (logged once)
  std::map<std::string, std::string> failed_;  // checksums found wrong, not read again until changed
};

}  // namespace corvella::gateway
