// The two timers that start refresh passes: the one-shot retry (Timer1) and the
// periodic counter (Timer3). The window owns the real timers; this is their logic.
#pragma once

#include <array>
#include <functional>

namespace corvella {

struct AppSettings;

// A window timer as the handlers need it.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetEnabled(bool enabled) = 0;
};

inline constexpr int kRetryTimerIntervalMs = 1500;     // Timer1
inline constexpr int kPeriodicTimerIntervalMs = 1000;  // Timer3

// Ticks of Timer3 between periodic passes, by refreshPeriodIndex: 3, 4, 5, 6 hours.
inline constexpr std::array<int, 4> kRefreshPeriodTicks = {10800, 14400, 18000, 21600};
// A stored period the dialog cannot choose counts as its default, four hours.
inline constexpr int kDefaultRefreshPeriodIndex = 1;

int RefreshThresholdTicks(int refreshPeriodIndex);

class RefreshTimers {
 public:
  // `runPass` runs one refresh pass (RefreshPass::Run); it may throw.
  RefreshTimers(Timer& timer1, Timer& timer3, const AppSettings& settings, std::function<void()> runPass);

  // The retry timer (Timer1): one pass, and the timer is off afterwards whatever the pass did.
  void OnRetryTick();
  // The periodic timer (Timer3): counts while the current temperature is shown; at the period it runs a pass
  // with itself stopped, and is running again afterwards even when the pass failed.
  void OnPeriodicTick();

  int TickCount() const { return ticks_; }

 private:
  Timer& timer1_;
  Timer& timer3_;
  const AppSettings& settings_;
  std::function<void()> runPass_;
  int ticks_ = 0;
};

}  // namespace corvella
