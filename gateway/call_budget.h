// The forecast provider's free-tier limits (calls a minute, an hour and a day, a place in a batch
// counting as one call), kept on our side so that we slow down before it refuses us. A share of
// every window is kept for refreshing places already served: however many new places strangers
// ask for, the ones people already watch keep being refreshed. Every call is weighed against
// every window before it is made, the first call of a window included.
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
  static CallBudget Unlimited() { return CallBudget({kNever / 4, kNever / 4, kNever / 4, 0}); }
  static constexpr std::int64_t kNever = INT64_MAX;

  enum class Use {
    Refresh,  // a place already served: may spend the reserve
    New,      // a new place, or geocoding: only what lies above the reserve
  };
  // Takes `weight` calls at `now` when every window has room for them, else takes nothing.
  bool Take(std::int64_t weight, std::int64_t now, Use use);
  // How many calls every window has room for at `now`.
  std::int64_t Room(std::int64_t now, Use use) const;
  // The earliest time at which `weight` calls could be taken (now, when they can; kNever when
  // `weight` is more than a whole window holds).
  std::int64_t AvailableAt(std::int64_t weight, std::int64_t now, Use use) const;
  // The most a single batch may weigh.
  std::int64_t Largest() const { return limits_[0]; }

  // What has been spent, by window (a minute, an hour, a day): kept across restarts.
  struct Spent {
    std::array<std::int64_t, 3> start{}, used{};
  };
  Spent spent() const { return {start_, used_}; }
  void Restore(const Spent& s) { start_ = s.start, used_ = s.used; }

 private:
  std::int64_t Limit(std::size_t i, Use use) const { return limits_[i] - (use == Use::New ? reserves_[i] : 0); }
  std::int64_t Used(std::size_t i, std::int64_t now) const {
    return now - start_[i] < kWindow[i] && now >= start_[i] ? used_[i] : 0;
  }
  static constexpr std::array<std::int64_t, 3> kWindow = {60, 3600, 86400};
  std::array<std::int64_t, 3> limits_, reserves_{};
  std::array<std::int64_t, 3> start_{}, used_{};
};

}  // namespace corvella::gateway
