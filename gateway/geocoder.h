// Coordinates for catalogue places: the store first, then the geocoding service (the place by
// name and region, else the most populous of that name in Russia, else the region's centre).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gateway/call_budget.h"
#include "gateway/geocode_store.h"
#include "gateway/metrics.h"
#include "gateway/place_catalogue.h"
#include "gateway/place_matching.h"
#include "gateway/upstream.h"

namespace corvella::gateway {

// The provider's limits, shared by every caller of its services: our own budget and its
// requests to wait (429 with Retry-After).
class SourceGate {
 public:
  explicit SourceGate(CallBudget budget) : budget_(budget) {}
  // Whether `weight` calls may go out now; when not, `openAt` is when to try again.
  bool Take(std::int64_t weight, std::int64_t now, std::int64_t& openAt);
  void HoldOff(std::int64_t until);
  std::int64_t Largest() const { return budget_.Largest(); }

 private:
  std::mutex mutex_;
  CallBudget budget_;
  std::int64_t heldOffUntil_ = 0;
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

  struct Result {
    std::optional<StoredPlace> place;  // Nowhere when the geocoder knows nothing of it
    std::string error;                 // a failure worth retrying later
    std::int64_t retryAt = 0;
  };
  Result Resolve(const CataloguePlace& place);
  // Only what the store already holds, asking nobody.
  std::optional<StoredPlace> Stored(const std::string& feedId) { return store_.Find(feedId); }

 private:
  std::optional<std::vector<GeocodeResult>> Search(const std::string& name, Result& result);

  std::string url_;
  Upstream& upstream_;
  GeocodeStore& store_;
  SourceGate& gate_;
  Metrics& metrics_;
  UnixClock clock_;
};

// One line on standard error, as systemd's journal takes it.
void LogLine(const std::string& line);

}  // namespace corvella::gateway
