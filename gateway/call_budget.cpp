#include "gateway/call_budget.h"

#include <algorithm>

namespace corvella::gateway {

CallBudget::CallBudget(Limits limits) : limits_{limits.perMinute, limits.perHour, limits.perDay} {
  const int percent = std::clamp(limits.reservePercent, 0, 90);
  for (std::size_t i = 0; i < limits_.size(); ++i) reserves_[i] = limits_[i] / 100 * percent + limits_[i] % 100 * percent / 100;
}

std::int64_t CallBudget::Room(std::int64_t now, Use use) const {
  std::int64_t room = kNever;
  for (std::size_t i = 0; i < kWindow.size(); ++i) room = std::min(room, Limit(i, use) - Used(i, now));
  return std::max<std::int64_t>(room, 0);
}

std::int64_t CallBudget::AvailableAt(std::int64_t weight, std::int64_t now, Use use) const {
  std::int64_t at = now;
  for (std::size_t i = 0; i < kWindow.size(); ++i) {
    if (weight > Limit(i, use)) return kNever;
    if (Used(i, now) + weight > Limit(i, use)) at = std::max(at, start_[i] + kWindow[i]);
  }
  return at;
}

bool CallBudget::Take(std::int64_t weight, std::int64_t now, Use use) {
  if (weight > Room(now, use)) return false;
  for (std::size_t i = 0; i < kWindow.size(); ++i) {
    if (now - start_[i] >= kWindow[i] || now < start_[i]) {
      start_[i] = now;
      used_[i] = 0;
    }
    used_[i] += weight;
  }
  return true;
}

}  // namespace corvella::gateway
