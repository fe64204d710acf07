// What the rates page says beyond the day's rates: which of the bank's lists is today's by
// Moscow's date and which is tomorrow's, each currency's change since its previous published
// rate, and its last published rates, all in the units the page's row states.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gateway/bank_rates.h"

namespace corvella::gateway {

inline constexpr std::size_t kHistoryLength = 30;  // rates in a row's history cell
inline constexpr std::int64_t kSeriesDays = 45;    // asked of the bank, enough for 30 across holidays

// Moscow's date (days since 1970-01-01) at a UTC instant: the bank's lists take effect by it.
std::int64_t MoscowDay(std::int64_t nowUtc);

// The lists held: the one in force on Moscow's date and, once the bank has published it, the
// next working day's. The bank's latest list is tomorrow's from the afternoon on, and it answers
// a date it has not published with its last list: a list is placed by its own Date only.
struct HeldLists {
  std::optional<RatesSet> today, next;

  // Takes a list the bank answered; an older one than held in its place never replaces it.
  // True when what is held changed.
  bool Take(RatesSet set, std::int64_t moscowDay);
  // On the next list's day it becomes today's. True when it moved.
  bool MoveOver(std::int64_t moscowDay);
  // Tomorrow's list is held but not today's (a start in the afternoon): ask for today's by date.
  bool LacksToday() const { return next && !today; }
  // The latest Date held, which decides when to ask the bank again.
  std::optional<std::int64_t> Latest() const;
  // The list the rate cells show: today's, or the next one when today's could not be had.
  const RatesSet* Shown() const;
};

// A series as kept: one record a day, in order, only the days from `fromDay` to `toDay` (so
// never more than the range's days, whatever the bank sent).
std::vector<BankRecord> SeriesWithin(std::vector<BankRecord> records, std::int64_t fromDay,
                                     std::int64_t toDay);

// The bank's ID of each client currency in today's list that has one (kCurrencies' order).
std::vector<std::string> SeriesIds(const HeldLists& lists);

// The extra cells of each client currency (kCurrencies' order), from the lists and the series
// held by the bank's ID (each as SeriesWithin leaves it). Without a series, a row has no change and no
// history; without today's list, no row has any extra cell.
std::vector<RowDetails> DetailsOf(const HeldLists& lists,
                                  const std::map<std::string, std::vector<BankRecord>>& series);

// The bank's other addresses, made from the daily list's: its list for a date, and one
// currency's series over a range of days.
std::string DatedListUrl(const std::string& dailyUrl, std::int64_t day);
std::string SeriesUrl(const std::string& dailyUrl, const std::string& id, std::int64_t fromDay,
                      std::int64_t toDay);

// How long to wait before asking again after `failures` failures in a row: `first` (ten
// minutes), doubled each time, at most six hours.
std::int64_t RetryDelay(int failures, std::int64_t first = 600);

}  // namespace corvella::gateway
