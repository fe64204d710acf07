#include "gateway/call_budget.h"

#include <algorithm>

namespace corvella::gateway {

CallBudget::CallBudget(Limits limits) : limits_{limits.perMinute, limits.perHour, limits.perDay} {
  const int percent = std::clamp(limits.reservePercent, 0, 90);
  for (std::size_t i = 0; i < limits_.size(); ++i) reserves_[i] = limits_[i] / 100 * percent + limits_[i] % 100 * percent / 100;
}

std::int64_t CallBudget::AvailableAt(std::int64_t weight, std::int64_t now, Use use) const {
  std::int64_t at = now;
  for (std::size_t i = 0; i < kWindow.size(); ++i) {
    const bool current = now - start_[i] < kWindow[i];
    const std::int64_t limit = limits_[i] - (use == Use::New ? reserves_[i] : 0);
    if (current && used_[i] + weight > limit) at = std::max(at, start_[i] + kWindow[i]);
  }
  return at;
}

bool CallBudget::Take(std::int64_t weight, std::int64_t now, Use use) {
  if (weight > Largest() || AvailableAt(weight, now, use) > now) return false;
  for (std::size_t i = 0; i < kWindow.size(); ++i) {
    if (now - start_[i] >= kWindow[i]) {
      start_[i] = now;
      used_[i] = 0;
    }
    used_[i] += weight;
  }
  return true;
}

}  // namespace corvella::gateway
