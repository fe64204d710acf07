#include "common/date_time.h"

#include <gtest/gtest.h>

namespace corvella {
namespace {

TEST(DateTime, KnownDaysOnTheScale) {
  EXPECT_EQ(DaysFromCivil(1899, 12, 30), 0);
  EXPECT_EQ(DaysFromCivil(1900, 1, 1), 2);
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 25569);
  EXPECT_EQ(DaysFromCivil(2026, 12, 7), 46363);
  EXPECT_EQ(DaysFromCivil(2026, 13, 1), DaysFromCivil(2027, 1, 1));  // overflowing month
}

TEST(DateTime, CivilRoundTripAcrossYearsAndLeapDays) {
  for (long long d = -1000; d < 80000; d += 7) {
    CivilDate c = CivilFromDays(d);
    ASSERT_EQ(DaysFromCivil(c.year, c.month, c.day), d);
  }
  EXPECT_EQ(FormatYmd(AddDays({2024, 2, 28}, 1)), "20240229");
  EXPECT_EQ(FormatYmd(AddDays({2023, 2, 28}, 1)), "20230301");
  EXPECT_EQ(FormatYmd(AddDays({2026, 12, 31}, 2)), "20270102");
}

TEST(DateTime, EncodeDecodeKeepsSeconds) {
  CivilTime t{{2026, 12, 7}, 23, 59, 58};
  CivilTime back = DecodeDateTime(EncodeDateTime(t));
  EXPECT_EQ(back.date.year, 2026);
  EXPECT_EQ(back.date.day, 7);
  EXPECT_EQ(back.hour, 23);
  EXPECT_EQ(back.minute, 59);
  EXPECT_EQ(back.second, 58);
}

}  // namespace
}  // namespace corvella
