#include "shell/wake_refresh.h"

#include <utility>

namespace corvella {

WakeRefresh::WakeRefresh(Timer& delay, Timer& watch, std::function<bool()> online,
                         std::function<void()> runPass)
    : delay_(delay), watch_(watch), online_(std::move(online)), runPass_(std::move(runPass)) {}

void WakeRefresh::Suspending() { delay_.SetEnabled(false); }

void WakeRefresh::Resumed() {
  // Arming a running one-shot again only restarts it: still one pass.
  delay_.SetEnabled(true);
}

void WakeRefresh::PassSawConnection(bool connected) {
  if (connected == !watching_) return;
  watching_ = !connected;
  watch_.SetEnabled(watching_);
}

void WakeRefresh::DelayTimer() {
  delay_.SetEnabled(false);
  runPass_();
}

void WakeRefresh::WatchTimer() {
  if (!online_()) return;
  watching_ = false;
  watch_.SetEnabled(false);
  delay_.SetEnabled(true);
}

}  // namespace corvella
