// The bank's list (and series), any bytes, through the gateway: a page comes out only for a list that was
// read, and every rate the client cuts from it is empty or a number with four decimals.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gateway/bank_rates.h"
#include "retrieval/currency_rates.h"

namespace {
bool IsRate(const std::string& v) {
  std::size_t comma = v.find(',');
  if (comma == std::string::npos || comma == 0 || v.size() - comma != 5) return false;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i != comma && (v[i] < '0' || v[i] > '9')) return false;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  // The same bytes as one currency's series: its records, or an error.
  if (!corvella::gateway::ReadBankSeries(std::string_view(reinterpret_cast<const char*>(data), size), error) &&
      error.empty())
    std::abort();
  error.clear();
  std::optional<corvella::gateway::RatesSet> set =
      corvella::gateway::ReadBankRates(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (!set) {
    if (error.empty()) std::abort();
    return 0;
  }
  corvella::CurrencyFlags all;
  all.fill(true);
  for (const corvella::RateLine& line :
       corvella::ExtractRates(corvella::gateway::RenderRatesPage(*set), all).rateLines) {
    if (!line.value.empty() && !IsRate(line.value)) std::abort();
  }
  return 0;
}
