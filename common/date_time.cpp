#include "common/date_time.h"

#include "common/clock.h"

#include <cmath>
#include <cstdio>

namespace corvella {

// Howard Hinnant's days-from-civil, shifted so that 1899-12-30 is day 0.
long long DaysFromCivil(int year, int month, int day) {
  long long y = year;
  long long m = month;
  // Bring an overflowing month into 1..12 first.
  y += (m - 1 >= 0) ? (m - 1) / 12 : (m - 12) / 12;
  m = ((m - 1) % 12 + 12) % 12 + 1;
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long unixDays = era * 146097 + doe - 719468;
  return unixDays + 25569;  // 1970-01-01 is day 25569
}

CivilDate CivilFromDays(long long days) {
  long long z = days - 25569 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  return CivilDate{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

DateTime EncodeDateTime(const CivilTime& t) {
  return static_cast<double>(DaysFromCivil(t.date.year, t.date.month, t.date.day)) +
         (t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0;
}

namespace {

// Day `days` at `secs` (0..86399) seconds after its midnight.
CivilTime TimeOfDay(long long days, long long secs) {
  CivilTime t;
  t.date = CivilFromDays(days);
  t.hour = static_cast<int>(secs / 3600);
  t.minute = static_cast<int>(secs / 60 % 60);
  t.second = static_cast<int>(secs % 60);
  return t;
}

}  // namespace

CivilTime DecodeDateTime(DateTime value) {
  double whole = std::floor(value);
  long long secs = std::llround((value - whole) * 86400.0);
  long long days = static_cast<long long>(whole);
  if (secs >= 86400) {
    secs -= 86400;
    ++days;
  }
  return TimeOfDay(days, secs);
}

std::string FormatYmd(const CivilDate& date) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year % 10000, date.month % 100, date.day % 100);
  return buf;
}

CivilDate AddDays(const CivilDate& date, int days) {
  return CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + days);
}

CivilTime WallClockAt(const Clock& clock, int utcOffsetSeconds) {
  const CivilTime local = clock.LocalNow();
  const long long machineOffset = std::llround(clock.UtcOffsetDays() * 86400.0);
  long long seconds = DaysFromCivil(local.date.year, local.date.month, local.date.day) * 86400 +
                      local.hour * 3600 + local.minute * 60 + local.second - machineOffset + utcOffsetSeconds;
  const long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  return TimeOfDay(days, seconds - days * 86400);
}

}  // namespace corvella
