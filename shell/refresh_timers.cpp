#include "shell/refresh_timers.h"

#include <utility>

#include "shell/app_settings.h"

namespace corvella {
namespace {

// Runs `action` when the scope ends, also by an exception.
template <typename F>
class AtExit {
 public:
  explicit AtExit(F action) : action_(std::move(action)) {}
  AtExit(const AtExit&) = delete;
  AtExit& operator=(const AtExit&) = delete;
  ~AtExit() { action_(); }

 private:
  F action_;
};

}  // namespace

int RefreshThresholdTicks(int refreshPeriodIndex) {
  if (refreshPeriodIndex < 0 || refreshPeriodIndex >= static_cast<int>(kRefreshPeriodTicks.size())) {
    refreshPeriodIndex = kDefaultRefreshPeriodIndex;
  }
  return kRefreshPeriodTicks[static_cast<std::size_t>(refreshPeriodIndex)];
}

RefreshTimers::RefreshTimers(Timer& timer1, Timer& timer3, const AppSettings& settings,
                             std::function<void()> runPass)
    : timer1_(timer1), timer3_(timer3), settings_(settings), runPass_(std::move(runPass)) {}

void RefreshTimers::Timer1Timer() {
  AtExit off([this] { timer1_.SetEnabled(false); });
  runPass_();
}

void RefreshTimers::Timer3Timer() {
  const int threshold = RefreshThresholdTicks(settings_.refreshPeriodIndex);
  if (!settings_.showCurrentTemperature) return;
  if (++ticks_ < threshold) return;
  ticks_ = 0;
  timer3_.SetEnabled(false);
  AtExit on([this] { timer3_.SetEnabled(true); });
  runPass_();
}

}  // namespace corvella
