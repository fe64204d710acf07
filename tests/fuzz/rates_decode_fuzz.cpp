// The lenient page decoder on any bytes: never more output than input, and on valid UTF-8
// it reads exactly what the strict decoder reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "retrieval/currency_rates.h"
#include "retrieval/weather_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  std::string text = corvella::DecodeRatesPage(body);
  if (text.size() > body.size()) std::abort();
  std::string strict = corvella::DecodeFeedBody(body);
  if (!strict.empty() && strict != text) std::abort();
  return 0;
}
