#include "gateway/forecast_scheduler.h"

#include <algorithm>

namespace corvella::gateway {

ForecastScheduler::Place& ForecastScheduler::Touch(const std::string& id) {
  auto [it, added] = places_.try_emplace(id);
  Place& p = it->second;
  std::list<std::string>& lru = p.entry ? held_ : pending_;
  if (added) {
    lru.push_front(id);
  } else {
    lru.splice(lru.begin(), lru, p.lru);
  }
  p.lru = lru.begin();
  return p;
}

void ForecastScheduler::EvictFrom(std::list<std::string>& lru, std::size_t keep,
                                  std::unordered_map<std::string, Place>& places) {
  // Places being fetched stay: their completion still needs them.
  auto it = lru.end();
  std::size_t size = lru.size();
  while (size > keep && it != lru.begin()) {
    --it;
    Place& p = places.at(*it);
    if (p.queued || p.inFlight) continue;
    auto victim = it++;
    places.erase(*victim);
    lru.erase(victim);
    --size;
  }
}

void ForecastScheduler::Evict() {
  EvictFrom(held_, policy_.capacity, places_);
  EvictFrom(pending_, policy_.capacity, places_);
}

ForecastScheduler::Lookup ForecastScheduler::Ask(const std::string& id, std::int64_t now) {
  Place& p = Touch(id);
  if (now - p.windowStart >= policy_.freshSeconds) {
    p.previousAsks = now - p.windowStart < 2 * policy_.freshSeconds ? p.asks : 0;
    p.asks = 0;
    p.windowStart = now;
  }
  ++p.asks;
  CachedPtr entry = p.entry;
  if (entry) {
    std::int64_t age = now - entry->fetchedAt;
    // A busy place that has just expired waits for the next sweep, which fetches it together
    // with the other busy places.
    if (age < policy_.freshSeconds || (Busy(p) && age < policy_.freshSeconds + policy_.sweepSeconds)) {
      Evict();
      return {Outcome::Serve, entry};
    }
  }
  if (p.queued || p.inFlight) return {Outcome::Wait, entry, p.queued ? std::max(p.notBefore, heldOffUntil_) : 0};
  if (now < heldOffUntil_ || now - p.failedAt < policy_.retryAfterFailureSeconds) {
    Evict();
    return {Outcome::Fallback, entry};
  }
  p.queued = true;
  queue_.push_back(id);
  Evict();
  return {Outcome::Wait, entry};
}

std::vector<std::string> ForecastScheduler::TakeBatch(std::int64_t now) {
  std::vector<std::string> batch;
  if (now < heldOffUntil_) return batch;
  // Deferred places keep their turn in the queue; the others go.
  std::vector<std::string> later;
  for (const std::string& id : queue_) {
    Place& p = places_.at(id);
    if (batch.size() >= policy_.maxBatch || p.notBefore > now) {
      later.push_back(id);
      continue;
    }
    p.queued = false;
    p.inFlight = true;
    batch.push_back(id);
  }
  queue_.swap(later);
  // Expired busy places go at the sweep, and with any call that goes out anyway.
  if (now >= nextSweep_ || !batch.empty()) {
    if (now >= nextSweep_) nextSweep_ = now + policy_.sweepSeconds;
    for (auto& [id, p] : places_) {
      if (batch.size() >= policy_.maxBatch) break;
      if (p.inFlight || p.queued || !p.entry || !Busy(p)) continue;
      if (now - p.entry->fetchedAt < policy_.freshSeconds) continue;
      if (now - p.failedAt < policy_.retryAfterFailureSeconds) continue;
      p.inFlight = true;
      batch.push_back(id);
    }
  }
  return batch;
}

void ForecastScheduler::Complete(const std::string& id, std::optional<CachedForecast> fetched,
                                 std::int64_t now) {
  auto it = places_.find(id);
  if (it == places_.end()) return;
  Place& p = it->second;
  p.inFlight = false;
  p.notBefore = 0;
  if (fetched) {
    if (!p.entry) held_.splice(held_.begin(), pending_, p.lru);  // now it takes a place in the cache
    p.entry = std::make_shared<const CachedForecast>(std::move(*fetched));
  } else {
    p.failedAt = now;
  }
}

void ForecastScheduler::Requeue(const std::string& id) {
  auto it = places_.find(id);
  if (it == places_.end() || !it->second.inFlight) return;
  it->second.inFlight = false;
  it->second.queued = true;
  queue_.push_back(id);
}

std::int64_t ForecastScheduler::ReadyAt() const {
  std::int64_t at = INT64_MAX;
  for (const std::string& id : queue_) at = std::min(at, places_.at(id).notBefore);
  return at == INT64_MAX ? at : std::max(at, heldOffUntil_);
}

void ForecastScheduler::Defer(const std::string& id, std::int64_t until) {
  Requeue(id);
  if (auto it = places_.find(id); it != places_.end() && it->second.queued) it->second.notBefore = until;
}

void ForecastScheduler::Replace(const std::string& id, CachedPtr entry) {
  auto it = places_.find(id);
  if (it != places_.end() && it->second.entry && entry && it->second.entry->fetchedAt == entry->fetchedAt) {
    it->second.entry = std::move(entry);
  }
}

}  // namespace corvella::gateway
