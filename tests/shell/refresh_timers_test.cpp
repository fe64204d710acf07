#include "shell/refresh_timers.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/error.h"
#include "shell/app_settings.h"

namespace corvella {
namespace {

// Records every switch of a timer, and where passes ran between them.
struct Journal {
  std::vector<std::string> events;
};

class JournalTimer : public Timer {
 public:
  JournalTimer(Journal& journal, std::string name) : journal_(journal), name_(std::move(name)) {}
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    journal_.events.push_back(name_ + (enabled ? " on" : " off"));
  }
  bool enabled_ = true;

 private:
  Journal& journal_;
  std::string name_;
};

class RefreshTimersTest : public ::testing::Test {
 protected:
  RefreshTimersTest() {
    settings.showCurrentTemperature = true;
    settings.refreshPeriodIndex = 0;
  }
  // Ticks Timer3 `n` times and returns how many passes ran.
  int Tick(int n) {
    const int before = passes;
    for (int i = 0; i < n; ++i) timers.OnPeriodicTick();
    return passes - before;
  }

  Journal journal;
  JournalTimer timer1{journal, "timer1"};
  JournalTimer timer3{journal, "timer3"};
  AppSettings settings;
  int passes = 0;
  bool failPass = false;
  RefreshTimers timers{timer1, timer3, settings, [this] {
                         ++passes;
                         journal.events.push_back("pass");
                         if (failPass) throw Error("List index out of bounds (-1)");
                       }};
};

TEST(RefreshThresholdTicks, FourPeriodsAndOutOfRangeCountsAsFourHours) {
  EXPECT_EQ(RefreshThresholdTicks(0), 10800);
  EXPECT_EQ(RefreshThresholdTicks(1), 14400);
  EXPECT_EQ(RefreshThresholdTicks(2), 18000);
  EXPECT_EQ(RefreshThresholdTicks(3), 21600);
  EXPECT_EQ(RefreshThresholdTicks(4), 14400);
  EXPECT_EQ(RefreshThresholdTicks(-1), 14400);
  EXPECT_EQ(RefreshThresholdTicks(2147483647), 14400);
}

TEST_F(RefreshTimersTest, PeriodicPassAtEachThreshold) {
  for (int index = 0; index < 4; ++index) {
    settings.refreshPeriodIndex = index;
    const int threshold = kRefreshPeriodTicks[static_cast<std::size_t>(index)];
    EXPECT_EQ(Tick(threshold - 1), 0) << index;
    EXPECT_EQ(Tick(1), 1) << index;
    EXPECT_EQ(timers.TickCount(), 0);
  }
  // Stop, pass, start: Timer3 is off exactly while its pass runs.
  ASSERT_GE(journal.events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(journal.events.end() - 3, journal.events.end()),
            (std::vector<std::string>{"timer3 off", "pass", "timer3 on"}));
  EXPECT_TRUE(timer3.enabled_);
}

TEST_F(RefreshTimersTest, OutOfRangePeriodIndexRunsEveryFourHours) {
  settings.refreshPeriodIndex = 7;
  EXPECT_EQ(Tick(14399), 0);
  EXPECT_EQ(Tick(1), 1);
  settings.refreshPeriodIndex = -3;
  EXPECT_EQ(Tick(14400), 1);
}

TEST_F(RefreshTimersTest, CountsOnlyWhileCurrentTemperatureIsShown) {
  EXPECT_EQ(Tick(100), 0);
  settings.showCurrentTemperature = false;
  EXPECT_EQ(Tick(20000), 0);
  EXPECT_EQ(timers.TickCount(), 100);
  settings.showCurrentTemperature = true;
  EXPECT_EQ(Tick(10700 - 1), 0);
  EXPECT_EQ(Tick(1), 1);
  EXPECT_EQ(journal.events.size(), 3u);
}

TEST_F(RefreshTimersTest, FailedPeriodicPassStillRestartsTimer3) {
  failPass = true;
  Tick(10799);
  EXPECT_THROW(timers.OnPeriodicTick(), Error);
  EXPECT_EQ(passes, 1);
  EXPECT_TRUE(timer3.enabled_);
  EXPECT_EQ(timers.TickCount(), 0);
}

TEST_F(RefreshTimersTest, Timer1RunsOnePassThenStaysOff) {
  Tick(50);
  timers.OnRetryTick();
  EXPECT_EQ(journal.events, (std::vector<std::string>{"pass", "timer1 off"}));
  failPass = true;
  timer1.enabled_ = true;
  EXPECT_THROW(timers.OnRetryTick(), Error);
  EXPECT_FALSE(timer1.enabled_);
  EXPECT_EQ(timers.TickCount(), 50);  // other passes leave the periodic count alone
}

}  // namespace
}  // namespace corvella
