// Cutting rates and the cells after them out of any page body; the first byte and a bit of the second choose the currencies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "retrieval/currency_rates.h"
#include "retrieval/rate_details.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  if (size < 2) return 0;
  unsigned bits = data[0] | ((data[1] & 3u) << 8);
  CurrencyFlags flags{};
  std::size_t selected = 0;
  for (std::size_t i = 0; i < kCurrencyCount; ++i) {
    flags[i] = (bits >> i) & 1u;
    selected += flags[i];
  }
  std::string_view body(reinterpret_cast<const char*>(data + 2), size - 2);
  RatesSnapshot s = ExtractRates(body, flags);
  if (s.pageReceived != !DecodeRatesPage(body).empty()) std::abort();
  if (s.rateLines.size() != (s.pageReceived ? selected : 0)) std::abort();
  for (const RateLine& line : s.rateLines) {
    if (line.value.find('<') != std::string::npos || line.value.size() > body.size()) std::abort();
  }
  // The cells after the rates: one entry a selected currency, each cell short and tag-free.
  const std::vector<RateDetail> details = ExtractRateDetails(body, flags);
  if (details.size() != (body.empty() ? 0 : selected)) std::abort();
  for (const RateDetail& d : details) {
    for (const std::string* cell : {&d.change, &d.tomorrow, &d.tomorrowDate, &d.history}) {
      if (cell->size() > 512 || cell->find('<') != std::string::npos) std::abort();
    }
  }
  return 0;
}
