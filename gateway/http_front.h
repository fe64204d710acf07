// The HTTP front: Boost.Beast over Asio on a few threads. It reads requests, asks the routing
// (gateway/routing.h) what each one is for and sends that: the documents the services hold, the
// update file, or a refusal. It bounds what a client may send, how many connections it may hold,
// how many new places it may make us fetch, and how long any answer may take.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gateway/place_catalogue.h"
#include "gateway/services.h"

namespace corvella::gateway {

struct FrontOptions {
  std::string address = "127.0.0.1";
  unsigned short port = 8080;
  std::vector<std::string> hosts;  // the feed, rates and site host names
  std::vector<std::string> trustedProxies;
  std::string releaseDir;
  int threads = 2;
  std::size_t maxConnections = 10000;  // lowered to what RLIMIT_NOFILE leaves room for
  std::size_t maxConnectionsPerClient = 256;
  double newPlacesPerClient = 30;  // at once, and again each hour
  std::uint32_t headerLimit = 8192;
  int idleSeconds = 30;
  int answerSeconds = 5;  // a feed request waits this long for the forecast source, then 503
};

struct FrontServices {
  const PlaceCatalogue& catalogue;
  ForecastService& forecasts;
  RatesService& rates;
  Metrics& metrics;
  Upstream& upstream;  // aborted when the front stops
};

// Serves until SIGTERM or SIGINT. Throws std::runtime_error when it cannot listen.
void RunFront(const FrontOptions& options, FrontServices services);

}  // namespace corvella::gateway
