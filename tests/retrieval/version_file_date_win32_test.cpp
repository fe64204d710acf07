// Reading a file's date as the update check does, through the Windows API (run under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <fstream>

#include "common/clock.h"
#include "common/cp1251.h"
#include "common/error.h"
#include "retrieval/version_check.h"
#include "tests/support/temp_path.h"

namespace corvella {
namespace {

long long Seconds(DateTime d) { return std::llround(d * 86400.0); }

class FileDateWin32 : public ::testing::Test {
 protected:
  void SetUp() override { std::ofstream(path_) << "x"; }
  void TearDown() override { DeleteFileW(ToWide(path_).c_str()); }

  void SetModified(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    FILETIME utc{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &utc));
    HANDLE file = CreateFileW(ToWide(path_).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
  }

  std::string path_ = testing_support::UniqueTempName("corvella_file_date") + ".bin";
};

TEST_F(FileDateWin32, LocalTimeInTwoSecondSteps) {
  SetModified(2026, 6, 15, 10, 20, 31);
  DateTime expected = EncodeDateTime(CivilTime{{2026, 6, 15}, 10, 20, 30}) + SystemClock().UtcOffsetDays();
  EXPECT_EQ(Seconds(MakeFileDate(path_)->Read()), Seconds(expected));
}

TEST_F(FileDateWin32, UnreadableDatesFail) {
  SetModified(1975, 3, 1, 12, 0, 0);  // before packed file dates begin
  for (const std::string& path : {path_, path_ + ".missing", std::string()}) {
    try {
      MakeFileDate(path)->Read();
      ADD_FAILURE() << path;
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
  }
}

TEST_F(FileDateWin32, OwnExecutableIsDatedInThePast) {
  DateTime own = MakeOwnFileDate()->Read();
  CivilTime now = SystemClock().LocalNow();
  EXPECT_LE(own, EncodeDateTime(now) + 2.0 / 86400);
  EXPECT_GT(own, EncodeDateTime(CivilTime{{2020, 1, 1}, 0, 0, 0}));
  EXPECT_EQ(DecodeDateTime(own).second % 2, 0);
}

}  // namespace
}  // namespace corvella
