// The forecast source's reply, any bytes, through the gateway: whatever document comes out is
// one the client reads as meant: valid UTF-8, no hour marker twice, the current hour and the
// first three days there (fewer hours or days only where the forecast runs out).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gateway/feed_document.h"
#include "retrieval/weather_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view body(reinterpret_cast<const char*>(data), size);
  corvella::gateway::BatchReply reply =
      corvella::gateway::ReadForecastReply(body, {{55.75, 37.62}, {59.94, 30.31}});
  for (const auto& place : reply.places) {
    if (!place) continue;
    for (std::int64_t at : {place->currentUtc, place->currentUtc + 5 * 3600}) {
      std::optional<std::string> doc = corvella::gateway::RenderFeedDocument(*place, "1", at);
      if (!doc) continue;
      if (corvella::DecodeFeedBody(*doc).empty()) std::abort();
      int hours = 0;
      for (int h = 0; h < 24; ++h) {
        char marker[32];
        std::snprintf(marker, sizeof marker, "<hour value=\"%02d:00\">", h);
        std::size_t first = doc->find(marker);
        if (first == std::string::npos) continue;
        ++hours;
        if (doc->find(marker, first + 1) != std::string::npos) std::abort();
      }
      std::size_t days = 0;
      for (std::size_t d = doc->find("<day value="); d != std::string::npos; d = doc->find("<day value=", d + 1)) {
        ++days;
      }
      if (hours == 0 || days < 3) std::abort();
    }
  }
  return 0;
}
