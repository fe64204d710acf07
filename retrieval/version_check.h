// News of a newer build: the date of the update file published on the maker's site,
// compared with the date of the program's own executable.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/date_time.h"
#include "common/notice_kind.h"

namespace corvella {

class HttpClient;

// "http://<site host>/soft/corv.exe".
std::string UpdateFileUrl();

// The last-write time of a file, in local time at two-second resolution.
class OwnFileDate {
 public:
  virtual ~OwnFileDate() = default;
  // Fails with "Invalid argument to date encode" when the file's date cannot be read.
  virtual DateTime Read() const = 0;
};

// The running executable's date (own_file_date_win32.cpp / own_file_date_posix.cpp).
std::unique_ptr<OwnFileDate> MakeOwnFileDate();
// The date of the file at `path` (Windows-1251), read the same way.
std::unique_ptr<OwnFileDate> MakeFileDate(std::string path);

class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  virtual void ShowNotice(const std::string& title, const std::string& text, NoticeKind kind,
                          int seconds) = 0;
};

inline constexpr int kUpdateNoticeSeconds = 10;
// The published file must be more than this much newer than our own (in days).
inline constexpr DateTime kUpdateMargin = 1.0;

// The notice's title and text (Windows-1251; the line break is the character 13).
std::string UpdateNoticeTitle();
std::string UpdateNoticeText();

// HEADs the update file and shows the notice when its Last-Modified is later than the own
// file's date plus the margin. Returns normally when the comparison was made; a failed
// request or an unreadable own date leaves as an Error.
void CheckVersion(HttpClient& client, const OwnFileDate& ownDate, NoticeSink& notices);

}  // namespace corvella
