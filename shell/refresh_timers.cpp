#include "shell/refresh_timers.h"

#include <utility>

#include "common/scope_exit.h"
#include "shell/app_settings.h"

namespace corvella {

int RefreshThresholdTicks(int refreshPeriodIndex) {
  if (refreshPeriodIndex < 0 || refreshPeriodIndex >= static_cast<int>(kRefreshPeriodTicks.size())) {
    refreshPeriodIndex = kDefaultRefreshPeriodIndex;
  }
  return kRefreshPeriodTicks[static_cast<std::size_t>(refreshPeriodIndex)];
}

RefreshTimers::RefreshTimers(Timer& timer1, Timer& timer3, const AppSettings& settings,
                             std::function<void()> runPass)
    : timer1_(timer1), timer3_(timer3), settings_(settings), runPass_(std::move(runPass)) {}

void RefreshTimers::OnRetryTick() {
  ScopeExit off([this] { timer1_.SetEnabled(false); });
  runPass_();
}

void RefreshTimers::OnPeriodicTick() {
  const int threshold = RefreshThresholdTicks(settings_.refreshPeriodIndex);
  if (!settings_.showCurrentTemperature) return;
  if (++ticks_ < threshold) return;
  ticks_ = 0;
  timer3_.SetEnabled(false);
  ScopeExit on([this] { timer3_.SetEnabled(true); });
  runPass_();
}

}  // namespace corvella
