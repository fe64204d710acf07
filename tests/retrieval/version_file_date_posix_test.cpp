// Reading a file's date as the update check does, on a POSIX host, in a fixed zone.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "common/error.h"
#include "retrieval/version_check.h"
#include "tests/support/temp_path.h"

namespace corvella {
namespace {

class FileDatePosix : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    if (tz) savedTz_ = tz;
    hadTz_ = tz != nullptr;
    setenv("TZ", "MSK-3", 1);  // three hours east of UTC, no summer time
    tzset();
    std::ofstream(path_) << "x";
  }
  void TearDown() override {
    std::remove(path_.c_str());
    if (hadTz_) {
      setenv("TZ", savedTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void SetModified(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    timeval times[2] = {{timegm(&tm), 0}, {timegm(&tm), 0}};
    ASSERT_EQ(utimes(path_.c_str(), times), 0);
  }

  std::string path_ = testing_support::UniqueTempName("corvella_file_date") + ".bin";
  std::string savedTz_;
  bool hadTz_ = false;
};

TEST_F(FileDatePosix, LocalTimeInTwoSecondSteps) {
  SetModified(2026, 6, 15, 10, 20, 31);
  EXPECT_EQ(MakeFileDate(path_)->Read(), EncodeDateTime(CivilTime{{2026, 6, 15}, 13, 20, 30}));
  SetModified(2026, 12, 31, 22, 59, 58);  // the zone carries it into the next year
  EXPECT_EQ(MakeFileDate(path_)->Read(), EncodeDateTime(CivilTime{{2027, 1, 1}, 1, 59, 58}));
}

TEST_F(FileDatePosix, UnreadableDatesFail) {
  SetModified(1975, 3, 1, 0, 0, 0);  // before packed file dates begin
  for (const std::string& path : {path_, path_ + ".missing", std::string()}) {
    try {
      MakeFileDate(path)->Read();
      ADD_FAILURE() << path;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
  }
}

TEST_F(FileDatePosix, OwnExecutableIsDatedInThePast) {
  DateTime own = MakeOwnFileDate()->Read();
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  DateTime local = EncodeDateTime(
      CivilTime{{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}, tm.tm_hour, tm.tm_min, tm.tm_sec});
  EXPECT_LE(own, local);
  EXPECT_GT(own, EncodeDateTime(CivilTime{{2020, 1, 1}, 0, 0, 0}));
  EXPECT_EQ(DecodeDateTime(own).second % 2, 0);
}

}  // namespace
}  // namespace corvella
