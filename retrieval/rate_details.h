// What the rates page says of a currency beyond its rate, in the cells after the rate cell of
// its row: the change since the previous published rate, tomorrow's rate once the bank has
// published it, and the last published rates. A page without them (an older server) gives
// empty texts; the rate itself is read as the hint reads it (currency_rates.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "retrieval/currencies.h"

namespace corvella {

struct RateDetail {
  std::string label;         // the hint line's label, "10 Гривен "
  std::string rate;          // as the hint has it, "20,3300"
  std::string change;        // "+0,3511", "-0,1200", "0,0000"
  std::string tomorrow;      // "92,8000", before publication empty
  std::string tomorrowDate;  // "09.12.2026"
  std::string history;       // "91,2000 91,3500 ...", oldest first, the last being today's
};

// One entry per selected currency, in table order, from the page's body.
std::vector<RateDetail> ExtractRateDetails(std::string_view body, const CurrencyFlags& flags);

}  // namespace corvella
