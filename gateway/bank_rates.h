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
  std::string id;        // the bank's own key, "R01235": its series are asked for by it
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

// One published rate of a currency's series: roubles per `nominal` units on `day`.
struct BankRecord {
  std::int64_t day = 0;  // days since 1970-01-01
  std::int64_t nominal = 1;
  std::int64_t value = 0;  // hundred-millionths, as BankRate's
};

// What a row of the client's currencies says beyond its rate, all in the row's units: the
// change since the previous published rate, the next day's rate once the bank has published
// it, and the last published rates, oldest first, the last being the row's own.
struct RowDetails {
  std::optional<std::int64_t> change;
  std::optional<std::int64_t> tomorrowDay, tomorrow;
  std::vector<std::int64_t> history;
};

// The bank's XML list in its declared encoding (windows-1251), or UTF-8 / windows-1251 when it
// declares none. Empty, with `error` set, when it is not such a list; a malformed Valute is left
// out (and named in `skipped`), the others kept.
std::optional<RatesSet> ReadBankRates(std::string_view xml, std::string& error);

// The bank's series of one currency (XML_dynamic.asp): its records in the order given, none for
// an empty range. Empty, with `error` set, when it is not such a series.
std::optional<std::vector<BankRecord>> ReadBankSeries(std::string_view xml, std::string& error);

// The UTF-8 rates page. A currency of the client's that the list lacks keeps its row with an
// empty rate cell, so the client shows the label alone rather than some other cell. `details`,
// when given, holds one entry per client currency (kCurrencies' order); its cells follow the
// rate cell, which stays the first cell after the name.
std::string RenderRatesPage(const RatesSet& set, const std::vector<RowDetails>* details = nullptr);

// A rate as the page writes it: "84,1200"; a change with its sign: "+0,3511", "-0,1200", "0,0000".
std::string FormatRate(std::int64_t scaled);
std::string FormatChange(std::int64_t scaled);
// Rounded to the page's four places, in hundred-millionths.
std::int64_t RoundToPage(std::int64_t scaled);
// "dd.mm.yyyy" as days since 1970-01-01, and back.
std::optional<std::int64_t> ParseBankDate(std::string_view s);
std::string BankDateText(std::int64_t day);

// Whether to ask the bank again: a new set appears on business days after 15:30 Moscow time
// and takes effect the next day; until then the set held stays good. Attempts are spaced out,
// and a held set is checked again at least every few hours in case a publication moved.
bool RatesDue(std::optional<std::int64_t> heldEffectiveDay, std::int64_t lastAttemptUtc, std::int64_t nowUtc);

}  // namespace corvella::gateway
