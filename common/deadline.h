// Time left until a deadline, for waits that must never end before it.
#pragma once

#include <chrono>
#include <climits>

namespace corvella {

using SteadyClock = std::chrono::steady_clock;

// Whole milliseconds from `now` until `deadline`, rounded up: a wait of this length never ends
// before the deadline. 0 once it has passed.
inline int MillisecondsUntil(SteadyClock::time_point deadline, SteadyClock::time_point now = SteadyClock::now()) {
  if (now >= deadline) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace corvella
