// Cutting rates out of any page body; the first byte and a bit of the second choose the currencies.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "retrieval/currency_rates.h"

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
  return 0;
}
