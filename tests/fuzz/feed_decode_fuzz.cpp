// The strict forecast decoder on any bytes: never more output than input, and whatever it
// accepts is the same text once more after a round through UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/cp1251.h"
#include "retrieval/weather_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  std::string text = corvella::DecodeFeedBody(body);
  if (text.size() > body.size()) std::abort();
  if (!text.empty() && corvella::DecodeFeedBody(corvella::Cp1251ToUtf8(text)) != text) std::abort();
  bool ascii = true;
  for (char c : body) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii && text != body) std::abort();
  return 0;
}
