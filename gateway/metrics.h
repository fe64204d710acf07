// Counters for /metrics, in the Prometheus text format: requests by route and status, cache
// outcomes, upstream calls by source and outcome with their latency, refusals by reason, errors.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace corvella::gateway {

class Metrics {
 public:
  void Request(std::string_view route, unsigned status, double seconds);
  void Cache(std::string_view outcome);  // "hit", "miss", "stale"
  void Upstream(std::string_view source, std::string_view outcome, double seconds, long places = 1);
  void Error(std::string_view kind);
  // A request or connection turned away: "client_new_places", "deadline", "connections",
  // "host_refused", "proxy_refused", "framing", "too_large", "request"; and a new place turned
  // away by the services: "budget_new_places" (only the refresh reserve is left), "budget"
  // (a place served before, not held, and not even the reserve left),
  // "geocode_queue_full", "waiters" (too many asks waiting for the source).
  void Refusal(std::string_view reason);
  std::string Render() const;

 private:
  struct Histogram {
    std::array<long, 8> buckets{};
    long count = 0;
    double sum = 0;
    void Add(double seconds);
  };
  static constexpr std::array<double, 8> kBounds = {0.001, 0.005, 0.025, 0.1, 0.5, 2, 10, 60};
  mutable std::mutex mutex_;
  // Looked up without making a string: a request is counted without allocating.
  std::map<std::string, std::map<unsigned, long>, std::less<>> requests_;
  std::map<std::string, Histogram, std::less<>> requestLatency_;
  std::map<std::string, long, std::less<>> refusals_;
  std::map<std::string, long> cache_;
  std::map<std::pair<std::string, std::string>, long> upstreamCalls_;
  std::map<std::string, long> upstreamPlaces_;
  std::map<std::string, Histogram> upstreamLatency_;
  std::map<std::string, long> errors_;
};

}  // namespace corvella::gateway
