// Which places' forecasts to fetch and when, on an injected clock: the cache of forecasts with
// its freshness, its stale limit and its size cap; coalescing of asks for the same place into
// one fetch; and the periodic refresh that fetches the often-asked places together in batches
// just as they expire, so that the forecast source sees few calls carrying many places each.
// Not thread-safe: the service holds it under its lock, the simulated-day benchmark drives it
// directly.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "gateway/place_forecast.h"

namespace corvella::gateway {

struct ForecastPolicy {
  std::int64_t freshSeconds = 3600;           // a fetched forecast is served this long
  std::int64_t staleLimitSeconds = 6 * 3600;  // and, while the source fails, this long
  std::int64_t sweepSeconds = 300;            // period of the batched refresh of busy places
  int busyAsks = 3;  // asks in a freshness window that make a place busy (see gateway_day_bench)
  std::int64_t retryAfterFailureSeconds = 60;
  std::size_t maxBatch = 1000;   // places in one call: the source takes at most 1,000
  // Forecasts kept; the least recently asked go first. Places asked for that have no forecast
  // (being fetched, refused, failed) are kept apart, as many again, and never push one out.
  std::size_t capacity = 10000;
};

// A fetched forecast and the document last rendered from it (for the local hour that starts
// at `documentHour`).
struct CachedForecast {
  PlaceForecast forecast;
  std::int64_t fetchedAt = 0;
  std::shared_ptr<const std::string> document;
  std::int64_t documentHour = 0;
};
using CachedPtr = std::shared_ptr<const CachedForecast>;

class ForecastScheduler {
 public:
  explicit ForecastScheduler(ForecastPolicy policy) : policy_(policy) {}

  enum class Outcome {
    Serve,     // `entry` is fresh enough to serve now
    Wait,      // a fetch is queued or under way; its completion answers
    Fallback,  // the source is failing or holding us off: `entry` (if any) is all there is
  };
  struct Lookup {
    Outcome outcome;
    CachedPtr entry;
    std::int64_t notBefore = 0;  // for Wait: the fetch cannot start before then (held off, deferred)
  };
  Lookup Ask(const std::string& id, std::int64_t now);

  // Places to fetch now, at most one batch: every queued place, and at sweep time the busy
  // places that have expired. Each is then "in flight" until Complete. Empty while held off.
  std::vector<std::string> TakeBatch(std::int64_t now);
  bool HasQueued() const { return !queue_.empty(); }
  // When TakeBatch would next take a queued place (INT64_MAX with none queued).
  std::int64_t ReadyAt() const;
  bool HasReady(std::int64_t now) const { return ReadyAt() <= now; }
  std::int64_t NextSweep() const { return nextSweep_; }

  // The fetch of `id` ended: with a forecast (stored) or without (the old entry stays).
  void Complete(const std::string& id, std::optional<CachedForecast> fetched, std::int64_t now);
  // A place taken in a batch goes back to the queue (it has just been found by the geocoder).
  void Requeue(const std::string& id);
  // A place taken in a batch goes back to the queue, to be taken again from `until` on (the
  // budget had no room for it now).
  void Defer(const std::string& id, std::int64_t until);
  // The source asked us to wait (429 and its Retry-After).
  void HoldOff(std::int64_t until) { heldOffUntil_ = until; }
  std::int64_t HeldOffUntil() const { return heldOffUntil_; }
  // Swaps in a newly rendered document for the same fetched forecast.
  void Replace(const std::string& id, CachedPtr entry);

  // The entry held for `id`, without counting an ask.
  CachedPtr Entry(const std::string& id) const {
    auto it = places_.find(id);
    return it == places_.end() ? nullptr : it->second.entry;
  }
  // Whether `entry` may still be served at `now` as a last resort.
  bool Servable(const CachedPtr& entry, std::int64_t now) const {
    return entry && now - entry->fetchedAt < policy_.staleLimitSeconds;
  }
  const ForecastPolicy& policy() const { return policy_; }
  std::size_t size() const { return places_.size(); }

 private:
  struct Place {
    CachedPtr entry;
    std::int64_t windowStart = 0;
    int asks = 0, previousAsks = 0;
    bool queued = false, inFlight = false;
    std::int64_t failedAt = INT64_MIN / 2;
    std::int64_t notBefore = 0;  // queued, but deferred till then
    std::list<std::string>::iterator lru;  // in held_ when it has an entry, else in pending_
  };
  Place& Touch(const std::string& id);
  bool Busy(const Place& p) const { return std::max(p.asks, p.previousAsks) >= policy_.busyAsks; }
  void Evict();
  static void EvictFrom(std::list<std::string>& lru, std::size_t keep, std::unordered_map<std::string, Place>& places);

  ForecastPolicy policy_;
  std::unordered_map<std::string, Place> places_;
  std::list<std::string> held_, pending_;  // most recently asked first
  std::vector<std::string> queue_;
  std::int64_t nextSweep_ = 0;
  std::int64_t heldOffUntil_ = 0;
};

}  // namespace corvella::gateway
