// The forecast request settings live apart from the pure extraction code, which needs no client.
#include "retrieval/http_client.h"
#include "retrieval/weather_feed.h"

namespace corvella {

void ApplyFeedRequestSettings(HttpClient& client) {
  client.handleRedirects = true;
  client.forceEncodeParams = true;
  client.protocolVersion = "1.1";
  client.userAgent = "Mozilla/5.0 (compatible;)";
}

}  // namespace corvella
