#include "gateway/admission.h"

#include <utility>  // before Asio: Boost 1.74 needs std::exchange in C++20
// (kept apart so that include sorting leaves it first)
#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <cmath>

namespace corvella::gateway {

namespace {

using boost::asio::ip::address;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool Parse(std::string_view text, address& out) {
  boost::system::error_code ec;
  out = boost::asio::ip::make_address(std::string(Trim(text)), ec);
  if (!ec && out.is_v6() && out.to_v6().is_v4_mapped()) {
    out = boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, out.to_v6());
  }
  return !ec;
}

ClientAddress Key(const address& a) {
  if (a.is_v4()) return {a.to_string(), a.is_loopback()};
  auto bytes = a.to_v6().to_bytes();
  std::fill(bytes.begin() + 8, bytes.end(), 0);
  return {boost::asio::ip::address_v6(bytes).to_string() + "/64", a.is_loopback()};
}

bool Trusted(const address& a, const std::vector<std::string>& trusted) {
  for (const std::string& t : trusted) {
    address ta;
    if (Parse(t, ta) && ta == a) return true;
  }
  return false;
}

}  // namespace

bool ValidAddress(std::string_view text) {
  address a;
  return Parse(text, a);
}

bool IsTrusted(std::string_view peer, const std::vector<std::string>& trustedProxies) {
  address a;
  return Parse(peer, a) && Trusted(a, trustedProxies);
}

bool IsLoopback(std::string_view text) {
  address a;
  return Parse(text, a) && a.is_loopback();
}

ClientAddress ClientOf(std::string_view peer, std::string_view realIp, std::string_view forwardedFor,
                       const std::vector<std::string>& trustedProxies) {
  address p;
  if (!Parse(peer, p)) return {std::string(peer), false};
  if (!Trusted(p, trustedProxies)) return Key(p);
  address named;
  if (!realIp.empty() && Parse(realIp, named)) return Key(named);
  // X-Forwarded-For grows to the right; the last entry no proxy of ours added is the client.
  while (!forwardedFor.empty()) {
    std::size_t comma = forwardedFor.rfind(',');
    std::string_view last = comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1);
    forwardedFor = comma == std::string_view::npos ? std::string_view() : forwardedFor.substr(0, comma);
    if (!Parse(last, named)) break;
    if (!Trusted(named, trustedProxies)) return Key(named);
  }
  return Key(p);
}

double MissAllowance::Refilled(const Bucket& b, std::int64_t nowMs) const {
  const double hours = static_cast<double>(std::max<std::int64_t>(nowMs - b.atMs, 0)) / 3.6e6;
  return std::min(limits_.burst, b.tokens + hours * limits_.perHour);
}

bool MissAllowance::Take(const std::string& client, std::int64_t nowMs, std::int64_t& retryAfterSeconds) {
  std::lock_guard lock(mutex_);
  auto it = buckets_.find(client);
  if (it == buckets_.end()) {
    if (buckets_.size() >= limits_.maxClients) {
      // Forget the clients whose buckets have filled up again: they are as good as new.
      for (auto b = buckets_.begin(); b != buckets_.end();) {
        b = Refilled(b->second, nowMs) >= limits_.burst ? buckets_.erase(b) : std::next(b);
      }
      if (buckets_.size() >= limits_.maxClients) {
        retryAfterSeconds = static_cast<std::int64_t>(std::ceil(3600 / limits_.perHour));
        return false;
      }
    }
    it = buckets_.emplace(client, Bucket{limits_.burst, nowMs}).first;
  }
  Bucket& b = it->second;
  b.tokens = Refilled(b, nowMs);
  b.atMs = nowMs;
  if (b.tokens >= 1) {
    b.tokens -= 1;
    return true;
  }
  retryAfterSeconds = std::max<std::int64_t>(
      1, static_cast<std::int64_t>(std::ceil((1 - b.tokens) * 3600 / limits_.perHour)));
  return false;
}

}  // namespace corvella::gateway
