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

// An address, as a proxy may write it: with a port ("192.0.2.1:4711"), an IPv6 one in brackets
// ("[2001:db8::1]:4711").
bool Parse(std::string_view text, address& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    text = text.substr(1, close - 1);
  } else if (const std::size_t colon = text.find(':');
             colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    text = text.substr(0, colon);
  }
  boost::system::error_code ec;
  out = boost::asio::ip::make_address(std::string(text), ec);
  if (!ec && out.is_v6() && out.to_v6().is_v4_mapped()) {
    out = boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, out.to_v6());
  }
  return !ec;
}

ClientAddress Key(const address& a) {
  if (a.is_v4()) return {a.to_string(), {}, a.is_loopback()};
  ClientAddress c{{}, {}, a.is_loopback()};
  for (const int bits : {64, 56, 48}) {
    auto bytes = a.to_v6().to_bytes();
    std::fill(bytes.begin() + bits / 8, bytes.end(), 0);
    std::string key = boost::asio::ip::address_v6(bytes).to_string() + "/" + std::to_string(bits);
    if (c.key.empty()) {
      c.key = std::move(key);
    } else {
      c.wider.push_back(std::move(key));
    }
  }
  return c;
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
  if (!Parse(peer, p)) return {std::string(peer), {}, false};
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
  return std::min(limits_.burst * b.scale, b.tokens + hours * limits_.perHour * b.scale);
}

MissAllowance::Bucket& MissAllowance::Find(const std::string& key, double scale, std::int64_t nowMs) {
  auto it = buckets_.find(key);
  if (it == buckets_.end()) {
    if (buckets_.size() >= std::max<std::size_t>(limits_.maxClients, 3)) {
      buckets_.erase(lru_.back());
      lru_.pop_back();
    }
    lru_.push_front(key);
    it = buckets_.emplace(key, Bucket{limits_.burst * scale, nowMs, scale, lru_.begin()}).first;
  } else {
    lru_.splice(lru_.begin(), lru_, it->second.lru);
  }
  Bucket& b = it->second;
  b.tokens = Refilled(b, nowMs);
  b.atMs = nowMs;
  return b;
}

bool MissAllowance::Take(const ClientAddress& client, std::int64_t nowMs, std::int64_t& retryAfterSeconds) {
  std::lock_guard lock(mutex_);
  // References stay good: the buckets just found are the most recent, never the one dropped.
  std::vector<Bucket*> buckets{&Find(client.key, 1, nowMs)};
  double scale = 1;
  for (const std::string& key : client.wider) buckets.push_back(&Find(key, scale *= kWider, nowMs));
  retryAfterSeconds = 0;
  for (const Bucket* b : buckets) {
    if (b->tokens >= 1) continue;
    retryAfterSeconds = std::max<std::int64_t>(
        retryAfterSeconds,
        std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil((1 - b->tokens) * 3600 /
                                                                      (limits_.perHour * b->scale)))));
  }
  if (retryAfterSeconds > 0) return false;
  for (Bucket* b : buckets) b->tokens -= 1;
  return true;
}

void MissAllowance::GiveBack(const ClientAddress& client, std::int64_t nowMs) {
  std::lock_guard lock(mutex_);
  auto giveBack = [&](const std::string& key, double scale) {
    Bucket& b = Find(key, scale, nowMs);
    b.tokens = std::min(b.tokens + 1, limits_.burst * scale);
  };
  giveBack(client.key, 1);
  double scale = 1;
  for (const std::string& key : client.wider) giveBack(key, scale *= kWider);
}

}  // namespace corvella::gateway
