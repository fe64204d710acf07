// One refresh pass shortly after the machine wakes from sleep or hibernation, or after the
// connection comes back when a pass found none, so the icon never shows the weather of
// before the lid was closed. The periodic counter is left alone.
#pragma once

#include <functional>

#include "shell/refresh_timers.h"

namespace corvella {

// The network needs a moment after a wake before a pass can get through.
inline constexpr int kWakeRefreshDelayMs = 4000;
// How often the connection is looked at while the last pass found none.
inline constexpr int kConnectionWatchIntervalMs = 5000;

class WakeRefresh {
 public:
  // `delay` is a one-shot timer of kWakeRefreshDelayMs, `watch` one of
  // kConnectionWatchIntervalMs; `online` tells whether the machine has a connection,
  // `runPass` runs one pass (it may throw).
  WakeRefresh(Timer& delay, Timer& watch, std::function<bool()> online, std::function<void()> runPass);

  // The machine is going to sleep: a pass still waiting would only fail.
  void Suspending();
  // The machine is back: one pass after the delay, however many wake messages come.
  void Resumed();
  // What each pass's first step found.
  void PassSawConnection(bool connected);

  void DelayTimer();
  void WatchTimer();

 private:
  Timer& delay_;
  Timer& watch_;
  std::function<bool()> online_;
  std::function<void()> runPass_;
  bool watching_ = false;
};

}  // namespace corvella
