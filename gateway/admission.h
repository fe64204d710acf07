// Who a request comes from, and whether that client may still cost the forecast source a call.
// Behind a proxy every connection comes from the proxy, so the client is read from the proxy's
// X-Real-IP or X-Forwarded-For, and only when the peer is a proxy we were told to trust.
#pragma once

#include <cstdint>
#include <list>
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
// trusted proxy; an entry may carry a port, and an IPv6 one brackets). An IPv4 client is its
// address; an IPv6 client is its /64, the block one subscriber holds, and is counted in the /56
// and the /48 around it as well, the blocks one home or one tunnel holds.
struct ClientAddress {
  std::string key;                // what the client's limits are kept under
  std::vector<std::string> wider;  // the wider blocks it is counted in too
  bool loopback = false;          // the client is this machine
};
ClientAddress ClientOf(std::string_view peer, std::string_view realIp, std::string_view forwardedFor,
                       const std::vector<std::string>& trustedProxies);
bool IsTrusted(std::string_view peer, const std::vector<std::string>& trustedProxies);
bool IsLoopback(std::string_view address);

// A bucket of new places per client: `burst` at once, refilled at `perHour`; each wider block
// has kWider times the allowance of the one inside it. Documents already cached never take from
// it; a forecast that must be fetched does. Remembers at most `maxClients` buckets: the one
// asked least recently makes room for a newcomer, at once.
class MissAllowance {
 public:
  struct Limits {
    double burst = 10;
    double perHour = 60;
    std::size_t maxClients = 100000;  // buckets remembered
  };
  static constexpr double kWider = 4;
  explicit MissAllowance(Limits limits) : limits_(limits) {}
  // Takes one miss for `client` (and its wider blocks) at `nowMs`, or gives the seconds until
  // one is free.
  bool Take(const ClientAddress& client, std::int64_t nowMs, std::int64_t& retryAfterSeconds);
  bool Take(const std::string& client, std::int64_t nowMs, std::int64_t& retryAfterSeconds) {
    return Take(ClientAddress{client, {}, false}, nowMs, retryAfterSeconds);
  }
  // Returns a miss taken for an ask that ended without a call.
  void GiveBack(const ClientAddress& client, std::int64_t nowMs);

 private:
  struct Bucket {
    double tokens;
    std::int64_t atMs;
    double scale;  // of the allowance: kWider to the power of the block's level
    std::list<std::string>::iterator lru;
  };
  double Refilled(const Bucket& b, std::int64_t nowMs) const;
  Bucket& Find(const std::string& key, double scale, std::int64_t nowMs);  // under mutex_
  Limits limits_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
  std::list<std::string> lru_;  // most recently asked first
};

}  // namespace corvella::gateway
