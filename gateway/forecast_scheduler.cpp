#include "gateway/forecast_scheduler.h"

#include <algorithm>

namespace corvella::gateway {

ForecastScheduler::Place& ForecastScheduler::Touch(const std::string& id) {
  auto [it, added] = places_.try_emplace(id);
  Place& p = it->second;
  if (added) {
    lru_.push_front(id);
  } else {
    lru_.splice(lru_.begin(), lru_, p.lru);
  }
  p.lru = lru_.begin();
  return p;
}

void ForecastScheduler::Evict() {
  // Places being fetched stay: their completion still needs them.
  auto it = lru_.end();
  while (places_.size() > policy_.capacity && it != lru_.begin()) {
    --it;
    Place& p = places_.at(*it);
    if (p.queued || p.inFlight) continue;
    auto victim = it++;
    places_.erase(*victim);
    lru_.erase(victim);
  }
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
  if (p.queued || p.inFlight) return {Outcome::Wait, entry};
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
  std::size_t n = std::min(queue_.size(), policy_.maxBatch);
  batch.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
  for (const std::string& id : batch) {
    Place& p = places_.at(id);
    p.queued = false;
    p.inFlight = true;
  }
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
  if (fetched) {
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

void ForecastScheduler::Replace(const std::string& id, CachedPtr entry) {
  auto it = places_.find(id);
  if (it != places_.end() && it->second.entry && entry && it->second.entry->fetchedAt == entry->fetchedAt) {
    it->second.entry = std::move(entry);
  }
}

}  // namespace corvella::gateway
