// The forecast provider's free-tier limits (calls a minute, an hour and a day, a place in a batch
// counting as one call), kept on our side so that we slow down before it refuses us. A share of
// every window is kept for refreshing places already served: however many new places strangers
// ask for, the ones people already watch keep being refreshed.
#pragma once

#include <array>
#include <cstdint>

namespace corvella::gateway {

class CallBudget {
 public:
  struct Limits {
    std::int64_t perMinute = 600, perHour = 5000, perDay = 10000;
    int reservePercent = 25;  // of each window, for refreshes only
  };
  explicit CallBudget(Limits limits);
  static CallBudget Unlimited() { return CallBudget({INT64_MAX / 4, INT64_MAX / 4, INT64_MAX / 4, 0}); }

  enum class Use {
    Refresh,  // a place already served: may spend the reserve
    New,      // a new place, or geocoding: only what lies above the reserve
  };
  // Takes `weight` calls at `now` when every window has room for them, else takes nothing.
  bool Take(std::int64_t weight, std::int64_t now, Use use);
  // The earliest time at which `weight` calls could be taken (now, when they can).
  std::int64_t AvailableAt(std::int64_t weight, std::int64_t now, Use use) const;
  // The most a single batch may weigh.
  std::int64_t Largest() const { return limits_[0]; }

 private:
  static constexpr std::array<std::int64_t, 3> kWindow = {60, 3600, 86400};
  std::array<std::int64_t, 3> limits_, reserves_{};
  std::array<std::int64_t, 3> start_{}, used_{};
};

}  // namespace corvella::gateway
