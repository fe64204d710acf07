// Who a request comes from, and whether that client may still cost the forecast source a call.
// Behind a proxy every connection comes from the proxy, so the client is read from the proxy's
// X-Real-IP or X-Forwarded-For, and only when the peer is a proxy we were told to trust.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvella::gateway {

// Parses `--trusted-proxy` values; false when one is not an IP address.
bool ValidAddress(std::string_view address);

// The client a request is counted for: the peer, or, when the peer is a trusted proxy, the
// address that proxy names (X-Real-IP, else the last address of X-Forwarded-For that is not a
// trusted proxy). IPv6 clients are counted by their /64, the block one subscriber holds.
struct ClientAddress {
  std::string key;        // what the client's limits are kept under
  bool loopback = false;  // the client is this machine
};
ClientAddress ClientOf(std::string_view peer, std::string_view realIp, std::string_view forwardedFor,
                       const std::vector<std::string>& trustedProxies);
bool IsTrusted(std::string_view peer, const std::vector<std::string>& trustedProxies);
bool IsLoopback(std::string_view address);

// A bucket of new places per client: `burst` at once, refilled at `perHour`. Documents already
// cached never take from it; a forecast that must be fetched does.
class MissAllowance {
 public:
  struct Limits {
    double burst = 10;
    double perHour = 60;
    std::size_t maxClients = 100000;  // clients remembered; beyond it, misses wait for room
  };
  explicit MissAllowance(Limits limits) : limits_(limits) {}
  // Takes one miss for `client` at `nowMs`, or gives the seconds until one is free.
  bool Take(const std::string& client, std::int64_t nowMs, std::int64_t& retryAfterSeconds);

 private:
  struct Bucket {
    double tokens;
    std::int64_t atMs;
  };
  double Refilled(const Bucket& b, std::int64_t nowMs) const;
  Limits limits_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace corvella::gateway
