// The national bank's daily list of official rates, and the rates page the client reads made
// from it: the client's ten currencies first, under the names it searches for and in the units
// its labels state, then the bank's other currencies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvella::gateway {

struct BankRate {
  std::string charCode;  // "USD"
  std::string name;      // the bank's own name, UTF-8
  std::int64_t nominal = 1;
  std::int64_t value = 0;  // roubles per `nominal` units, in hundred-millionths
};

struct RatesSet {
  std::int64_t effectiveDay = 0;  // ValCurs Date, days since 1970-01-01
  std::vector<BankRate> rates;
  std::vector<std::string> skipped;  // the CharCode (as sent) of each malformed Valute left out
};

inline constexpr std::int64_t kRateScale = 100'000'000;

// The bank's XML list in its declared encoding (windows-1251), or UTF-8 / windows-1251 when it
// declares none. Empty, with `error` set, when it is not such a list; a malformed Valute is left
// out (and named in `skipped`), the others kept.
std::optional<RatesSet> ReadBankRates(std::string_view xml, std::string& error);

// The UTF-8 rates page. A currency of the client's that the list lacks keeps its row with an
// empty rate cell, so the client shows the label alone rather than some other cell.
std::string RenderRatesPage(const RatesSet& set);

// Whether to ask the bank again: a new set appears on business days after 15:30 Moscow time
// and takes effect the next day; until then the set held stays good. Attempts are spaced out,
// and a held set is checked again at least every few hours in case a publication moved.
bool RatesDue(std::optional<std::int64_t> heldEffectiveDay, std::int64_t lastAttemptUtc, std::int64_t nowUtc);

}  // namespace corvella::gateway
