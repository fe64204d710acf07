// Dates as the program keeps them: days since 1899-12-30 00:00, the fraction being the
// time of day. Day zero is earlier than any real file date.
#pragma once

#include <string>

namespace corvella {

using DateTime = double;

struct CivilDate {
  int year = 1899;
  int month = 12;
  int day = 30;
};

struct CivilTime {
  CivilDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Whole days since 1899-12-30 for a proleptic Gregorian date (month and day may overflow).
long long DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(long long days);

DateTime EncodeDateTime(const CivilTime& t);
CivilTime DecodeDateTime(DateTime value);

// "yyyymmdd", zero-padded.
std::string FormatYmd(const CivilDate& date);
// The date `days` days after `date`.
CivilDate AddDays(const CivilDate& date, int days);

}  // namespace corvella
