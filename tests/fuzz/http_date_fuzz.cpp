// The HTTP date parser: whatever it accepts is a real moment.
#include <cstdlib>
#include <string_view>

#include "retrieval/http_date.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  auto when = ParseHttpDate(std::string_view(reinterpret_cast<const char*>(data), size));
  if (when) {
    CivilTime t = DecodeDateTime(*when);
    if (t.date.year < 0 || t.date.year > 10000 || t.date.month < 1 || t.date.month > 12) std::abort();
  }
  return 0;
}
