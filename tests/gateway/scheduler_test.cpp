// The forecast cache and fetch planning on an injected clock.
#include <gtest/gtest.h>

#include "gateway/call_budget.h"
#include "gateway/forecast_scheduler.h"

namespace corvella::gateway {
namespace {

using Outcome = ForecastScheduler::Outcome;

CachedForecast Fetched(std::int64_t at) {
  CachedForecast c;
  c.fetchedAt = at;
  return c;
}

void FetchAll(ForecastScheduler& s, std::int64_t now) {
  for (const std::string& id : s.TakeBatch(now)) s.Complete(id, Fetched(now), now);
}

TEST(ForecastScheduler, AsksForOnePlaceCoalesceIntoOneFetchThenServeFromCache) {
  ForecastScheduler s({});
  EXPECT_EQ(s.Ask("1", 100).outcome, Outcome::Wait);
  EXPECT_EQ(s.Ask("1", 100).outcome, Outcome::Wait);
  EXPECT_EQ(s.Ask("2", 100).outcome, Outcome::Wait);
  std::vector<std::string> batch = s.TakeBatch(100);
  EXPECT_EQ(batch, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(s.Ask("1", 101).outcome, Outcome::Wait);  // in flight: not fetched twice at once
  EXPECT_TRUE(s.TakeBatch(101).empty());
  for (const std::string& id : batch) s.Complete(id, Fetched(101), 101);
  EXPECT_EQ(s.Ask("1", 101 + 3599).outcome, Outcome::Serve);
  EXPECT_EQ(s.Ask("2", 101 + 3600).outcome, Outcome::Wait);  // asked once: refetched on demand
}

TEST(ForecastScheduler, FailuresFallBackToTheLastGoodCopyAndAreNotRetriedAtOnce) {
  ForecastScheduler s({});
  s.Ask("1", 0);
  FetchAll(s, 0);
  s.Ask("1", 4000);
  for (const std::string& id : s.TakeBatch(4000)) s.Complete(id, std::nullopt, 4000);
  ForecastScheduler::Lookup l = s.Ask("1", 4010);
  EXPECT_EQ(l.outcome, Outcome::Fallback);
  EXPECT_TRUE(s.Servable(l.entry, 4010));
  EXPECT_FALSE(s.Servable(l.entry, 6 * 3600));  // past the stale limit: nothing to serve
  EXPECT_EQ(s.Ask("1", 4060).outcome, Outcome::Wait);
  s.HoldOff(9000);
  EXPECT_TRUE(s.TakeBatch(5000).empty());
  EXPECT_EQ(s.Ask("2", 5000).outcome, Outcome::Fallback);
  EXPECT_EQ(s.TakeBatch(9000), (std::vector<std::string>{"1"}));
}

TEST(ForecastScheduler, BusyPlacesAreRefreshedTogetherAtTheSweepAfterTheyExpire) {
  ForecastPolicy policy;
  policy.sweepSeconds = 300;
  policy.busyAsks = 2;
  ForecastScheduler s(policy);
  for (const char* id : {"1", "2", "3"}) s.Ask(id, 0);
  FetchAll(s, 0);
  for (const char* id : {"1", "2"}) s.Ask(id, 1000);  // asked twice within the hour: busy
  EXPECT_TRUE(s.TakeBatch(3599).empty());
  EXPECT_EQ(s.Ask("1", 3700).outcome, Outcome::Serve);  // expired, but the sweep is near
  EXPECT_EQ(s.Ask("3", 3700).outcome, Outcome::Wait);
  std::vector<std::string> batch = s.TakeBatch(3700);
  std::sort(batch.begin(), batch.end());
  EXPECT_EQ(batch, (std::vector<std::string>{"1", "2", "3"}));
}

TEST(ForecastScheduler, TheLeastRecentlyAskedPlacesAreDroppedPastTheCap) {
  ForecastPolicy policy;
  policy.capacity = 2;
  policy.maxBatch = 2;
  ForecastScheduler s(policy);
  for (const char* id : {"1", "2", "3"}) s.Ask(id, 0);  // queued places are kept
  EXPECT_EQ(s.size(), 3u);
  FetchAll(s, 0);
  FetchAll(s, 1);
  s.Ask("1", 2);
  EXPECT_EQ(s.size(), 2u);
  EXPECT_EQ(s.Ask("1", 3).outcome, Outcome::Serve);
  EXPECT_EQ(s.Ask("2", 3).outcome, Outcome::Wait);  // the oldest went first
}

// New places spend only what lies above the reserve; refreshes of served places keep going
// until the whole window is spent, and both start again with the next window.
TEST(CallBudget, NewPlacesCannotSpendTheReserveKeptForRefreshes) {
  using Use = CallBudget::Use;
  CallBudget budget({100, 1000, 2000, 25});
  for (int i = 0; i < 75; ++i) ASSERT_TRUE(budget.Take(1, 10, Use::New)) << i;
  EXPECT_FALSE(budget.Take(1, 11, Use::New));
  EXPECT_EQ(budget.AvailableAt(1, 11, Use::New), 60);
  EXPECT_TRUE(budget.Take(20, 12, Use::Refresh));
  EXPECT_TRUE(budget.Take(5, 12, Use::Refresh));
  EXPECT_FALSE(budget.Take(1, 13, Use::Refresh));  // the minute is spent
  EXPECT_TRUE(budget.Take(75, 70, Use::New));
  EXPECT_FALSE(budget.Take(1, 70, Use::New));
  EXPECT_TRUE(budget.Take(1, 70, Use::Refresh));
  EXPECT_TRUE(CallBudget::Unlimited().Take(1000, 0, Use::New));
}

// The first call of a window is weighed like any other, and what was spent survives a restart.
TEST(CallBudget, EveryWindowIsWeighedFromItsFirstCall) {
  using Use = CallBudget::Use;
  CallBudget budget({600, 5000, 10, 25});
  EXPECT_EQ(budget.Room(0, Use::New), 8);
  EXPECT_FALSE(budget.Take(500, 0, Use::New));
  EXPECT_EQ(budget.AvailableAt(500, 0, Use::New), CallBudget::kNever);
  EXPECT_TRUE(budget.Take(8, 0, Use::New));
  CallBudget restarted({600, 5000, 10, 25});
  restarted.Restore(budget.spent());
  EXPECT_EQ(restarted.Room(100, Use::New), 0);
  EXPECT_EQ(restarted.Room(100, Use::Refresh), 2);
  EXPECT_EQ(restarted.AvailableAt(1, 100, Use::New), 86400);
}

// Places without a forecast never push one out of the cache; a deferred place keeps its turn.
TEST(ForecastScheduler, PlacesWithoutAForecastTakeNoRoom) {
  ForecastPolicy policy;
  policy.capacity = 2;
  ForecastScheduler s(policy);
  s.Ask("1", 0);
  FetchAll(s, 0);
  for (int i = 2; i < 8; ++i) s.Ask(std::to_string(i), 1);
  for (const std::string& id : s.TakeBatch(1)) s.Complete(id, std::nullopt, 1);
  EXPECT_EQ(s.Ask("1", 2).outcome, Outcome::Serve);
  s.Ask("8", 2);
  ASSERT_EQ(s.TakeBatch(2), std::vector<std::string>{"8"});
  s.Defer("8", 60);
  EXPECT_FALSE(s.HasReady(59));
  EXPECT_EQ(s.Ask("8", 3).notBefore, 60);
  EXPECT_EQ(s.TakeBatch(60), std::vector<std::string>{"8"});
}

}  // namespace
}  // namespace corvella::gateway
