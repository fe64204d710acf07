// The forecast provider's free-tier limits (calls a minute, an hour and a day, a place in a batch
// counting as one call), kept on our side so that we slow down before it refuses us.
#pragma once

#include <array>
#include <cstdint>

namespace corvella::gateway {

class CallBudget {
 public:
  struct Limits {
    std::int64_t perMinute = 600, perHour = 5000, perDay = 10000;
  };
  explicit CallBudget(Limits limits) : limits_{limits.perMinute, limits.perHour, limits.perDay} {}
  static CallBudget Unlimited() { return CallBudget({INT64_MAX / 4, INT64_MAX / 4, INT64_MAX / 4}); }

  // Takes `weight` calls at `now` when every window has room for them, else takes nothing.
  bool Take(std::int64_t weight, std::int64_t now);
  // The earliest time at which `weight` calls could be taken (now, when they can).
  std::int64_t AvailableAt(std::int64_t weight, std::int64_t now) const;
  // The most a single batch may weigh.
  std::int64_t Largest() const { return limits_[0]; }

 private:
  static constexpr std::array<std::int64_t, 3> kWindow = {60, 3600, 86400};
  std::array<std::int64_t, 3> limits_;
  std::array<std::int64_t, 3> start_{}, used_{};
};

}  // namespace corvella::gateway
