#include "retrieval/http_date.h"

#include <array>

#include "retrieval/http_text.h"

namespace corvella {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                      "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<std::string_view, 7> kDays = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
constexpr std::array<std::string_view, 7> kLongDays = {"monday", "tuesday", "wednesday", "thursday",
                                                       "friday", "saturday", "sunday"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

using http_text::EqualsNoCase;

class Scanner {
 public:
  explicit Scanner(std::string_view text) : s_(text) {}

  bool AtEnd() const { return i_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
  void SkipSpaces() {
    while (!AtEnd() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
  }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }
  std::string_view Word() {
    std::size_t start = i_;
    while (!AtEnd() && IsAlpha(s_[i_])) ++i_;
    return s_.substr(start, i_ - start);
  }
  // 1..maxDigits decimal digits; -1 when none.
  int Number(std::size_t minDigits, std::size_t maxDigits, std::size_t* count = nullptr) {
    std::size_t start = i_;
    int value = 0;
    while (!AtEnd() && IsDigit(s_[i_]) && i_ - start < maxDigits) value = value * 10 + (s_[i_++] - '0');
    std::size_t n = i_ - start;
    if (count) *count = n;
    if (n < minDigits || (!AtEnd() && IsDigit(s_[i_]))) return -1;
    return value;
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
};

int MonthOf(std::string_view word) {
  for (std::size_t m = 0; m < kMonths.size(); ++m) {
    if (EqualsNoCase(word, kMonths[m])) return static_cast<int>(m) + 1;
  }
  return 0;
}

bool IsDayName(std::string_view word) {
  for (auto d : kDays) {
    if (EqualsNoCase(word, d)) return true;
  }
  for (auto d : kLongDays) {
    if (EqualsNoCase(word, d)) return true;
  }
  return false;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kLengths[m - 1];
}

// "HH:MM:SS"
bool ReadTime(Scanner& s, int& h, int& m, int& sec) {
  h = s.Number(1, 2);
  if (h < 0 || !s.Take(':')) return false;
  m = s.Number(2, 2);
  if (m < 0 || !s.Take(':')) return false;
  sec = s.Number(2, 2);
  return sec >= 0;
}

// The rest after the date: nothing, a zone name, a numeric zone, or a name and a numeric zone.
bool ReadZone(Scanner& s, int& offsetMinutes) {
  offsetMinutes = 0;
  s.SkipSpaces();
  if (IsAlpha(s.Peek())) {
    s.Word();
    s.SkipSpaces();
  }
  if (s.Peek() == '+' || s.Peek() == '-') {
    int sign = s.Peek() == '-' ? -1 : 1;
    s.Take(s.Peek());
    int hhmm = s.Number(4, 4);
    if (hhmm < 0 || hhmm / 100 > 23 || hhmm % 100 > 59) return false;
    offsetMinutes = sign * (hhmm / 100 * 60 + hhmm % 100);
    s.SkipSpaces();
  }
  return s.AtEnd();
}

}  // namespace

std::optional<DateTime> ParseHttpDate(std::string_view text) {
  Scanner s(text);
  s.SkipSpaces();
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (IsAlpha(s.Peek())) {
    std::string_view word = s.Word();
    if (IsDayName(word)) {
      s.Take(',');
      s.SkipSpaces();
      word = IsAlpha(s.Peek()) ? s.Word() : std::string_view{};
    }
    if (!word.empty()) {
      // asctime: "Nov  6 08:49:37 1994"
      month = MonthOf(word);
      s.SkipSpaces();
      day = s.Number(1, 2);
      s.SkipSpaces();
      if (month == 0 || day < 0 || !ReadTime(s, hour, minute, second)) return std::nullopt;
      s.SkipSpaces();
      year = s.Number(4, 4);
      if (year < 0) return std::nullopt;
    }
  }
  if (month == 0) {
    // RFC 1123 "06 Nov 1994 08:49:37" or RFC 850 "06-Nov-94 08:49:37"
    day = s.Number(1, 2);
    if (day < 0) return std::nullopt;
    bool dashed = s.Take('-');
    if (!dashed) s.SkipSpaces();
    month = MonthOf(s.Word());
    if (month == 0) return std::nullopt;
    if (dashed ? !s.Take('-') : (s.SkipSpaces(), false)) return std::nullopt;
    std::size_t digits = 0;
    year = s.Number(2, 4, &digits);
    if (year < 0 || digits == 3) return std::nullopt;
    if (digits == 2) year += year < 70 ? 2000 : 1900;
    s.SkipSpaces();
    if (!ReadTime(s, hour, minute, second)) return std::nullopt;
  }
  int offsetMinutes = 0;
  if (!ReadZone(s, offsetMinutes)) return std::nullopt;
  if (year < 1 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  DateTime local = EncodeDateTime(CivilTime{{year, month, day}, hour, minute, second});
  return local - offsetMinutes / 1440.0;
}

}  // namespace corvella
