#include "gateway/call_budget.h"

#include <algorithm>

namespace corvella::gateway {

std::int64_t CallBudget::AvailableAt(std::int64_t weight, std::int64_t now) const {
  std::int64_t at = now;
  for (std::size_t i = 0; i < kWindow.size(); ++i) {
    const bool current = now - start_[i] < kWindow[i];
    if (current && used_[i] + weight > limits_[i]) at = std::max(at, start_[i] + kWindow[i]);
  }
  return at;
}

bool CallBudget::Take(std::int64_t weight, std::int64_t now) {
  if (weight > Largest() || AvailableAt(weight, now) > now) return false;
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
