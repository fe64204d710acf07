// The HTTP front: Boost.Beast over Asio on a few threads. It serves the three hosts' paths in
// origin form and in the absolute form a client sends to its proxy, refuses to be a proxy for
// any other host, and bounds what a client may send and how many connections it may hold.
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
  std::string releaseDir;
  int threads = 2;
  std::size_t maxConnections = 10000;
  std::size_t maxConnectionsPerClient = 256;
  std::uint32_t headerLimit = 8192;
  std::uint64_t bodyLimit = 16384;
  int idleSeconds = 30;
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
