// Coordinates for catalogue places: the store first, then the geocoding service (the place by
// name and region, else the most populous of that name in Russia, else the region's centre).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "gateway/call_budget.h"
#include "gateway/geocode_store.h"
#include "gateway/metrics.h"
#include "gateway/place_catalogue.h"
#include "gateway/place_matching.h"
#include "gateway/upstream.h"

namespace corvella::gateway {

// The provider's limits, shared by every caller of its services: our own budget and its
// requests to wait (429 with Retry-After). What has been spent goes to `save` after each take,
// so that a restart does not start the day afresh.
class SourceGate {
 public:
  using Save = std::function<void(const CallBudget::Spent&)>;
  explicit SourceGate(CallBudget budget, Save save = {}) : budget_(budget), save_(std::move(save)) {}
  // Whether `weight` calls may go out now; when not, `openAt` is when to try again. Refreshes of
  // places already served may spend the budget's reserve; new places and geocoding may not.
  bool Take(std::int64_t weight, std::int64_t now, std::int64_t& openAt, CallBudget::Use use) {
    return TakeUpTo(1, 10 * weight, now, openAt, use) == 1;
  }
  // Takes as many of `count` things weighing `tenthsEach` tenths of a call each as fit now, their
  // weight rounded up to whole calls; when fewer than `count`, `openAt` is when the next one
  // would fit (CallBudget::kNever for not at all).
  std::int64_t TakeUpTo(std::int64_t count, std::int64_t tenthsEach, std::int64_t now, std::int64_t& openAt,
                        CallBudget::Use use);
  // When `weight` calls could next go out for `use` (now, when they can), taking nothing.
  std::int64_t OpenAt(std::int64_t weight, std::int64_t now, CallBudget::Use use);
  void HoldOff(std::int64_t until);
  std::int64_t Largest() const { return budget_.Largest(); }

 private:
  std::mutex mutex_;
  CallBudget budget_;
  std::int64_t heldOffUntil_ = 0;
  std::uint64_t taken_ = 0;  // takes so far: only a newer state is saved
  // Saving waits for the disk, so it has a lock of its own: asking the gate never waits for it.
  std::mutex saveMutex_;
  Save save_;
  std::uint64_t saved_ = 0;
};

using UnixClock = std::function<std::int64_t()>;

class Geocoder {
 public:
  Geocoder(std::string url, Upstream& upstream, GeocodeStore& store, SourceGate& gate, Metrics& metrics,
           UnixClock clock)
      : url_(std::move(url)),
        upstream_(upstream),
        store_(store),
        gate_(gate),
        metrics_(metrics),
        clock_(std::move(clock)) {}
  ~Geocoder() { StopWorkers(); }

  struct Result {
    std::optional<StoredPlace> place;  // Nowhere when the geocoder knows nothing of it
    std::string error;                 // a failure worth retrying later
    std::int64_t retryAt = 0;
  };
  Result Resolve(const CataloguePlace& place);
  // Only what the store already holds, asking nobody.
  std::optional<StoredPlace> Stored(const std::string& feedId) { return store_.Find(feedId); }

  // Resolves `place` on one of a few background threads and calls `done` there with the result;
  // a place already waiting is not looked up twice (its `done` is dropped: the first one answers).
  // False, with nothing queued, when the queue is full.
  using Done = std::function<void(const CataloguePlace&, const Result&)>;
  bool ResolveLater(const CataloguePlace& place, Done done);
  // Ends the background threads; what is still queued is dropped without a call.
  void StopWorkers();

  static constexpr int kWorkers = 4;            // geocoder calls under way at once
  static constexpr std::size_t kQueued = 1000;  // places waiting for one
  // A place that waited longer than this (a slow geocoder) is answered "try later" unlooked-up:
  // its client has long had its answer, and the next ask queues it again.
  static constexpr std::chrono::seconds kLongestWait{10};

 private:
  std::optional<std::vector<GeocodeResult>> Search(const std::string& name, Result& result);
  std::optional<Coordinates> Centre(const std::string& region, std::string_view centre, Result& result);
  void Work();

  std::string url_;
  Upstream& upstream_;
  GeocodeStore& store_;
  SourceGate& gate_;
  Metrics& metrics_;
  UnixClock clock_;

  std::mutex centresMutex_;
  std::unordered_map<std::string, Coordinates> centres_;  // by region, once found

  std::mutex queueMutex_;
  std::condition_variable queueWake_;
  struct Queued {
    const CataloguePlace* place;
    Done done;
    std::chrono::steady_clock::time_point since;
  };
  std::deque<Queued> queue_;
  std::unordered_set<std::string> queued_;  // feed ids queued or being looked up
  std::vector<std::thread> workers_;
  bool stopping_ = false;
};

// One line on standard error, as systemd's journal takes it.
void LogLine(const std::string& line);
// Text from outside (a source's error reason) fit for a log line: control characters and
// backslashes escaped, cut to a couple of hundred bytes.
std::string Printable(std::string_view text);

}  // namespace corvella::gateway
