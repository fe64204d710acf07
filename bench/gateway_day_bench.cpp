// Upstream cost of the gateway's forecast scheduling over a simulated day (clock injected):
// 10,000 clients over 500 places, each client refreshing every 3 to 6 hours at random times,
// the places asked for unevenly (a few towns have many users). Reported as counters: HTTP calls,
// places asked for (the provider counts each place of a batch as a call), places per call,
// fetches per place per hour of freshness, and the shortest time between two fetches of one place
// (at least the freshness means at most one fetch per place per freshness window).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <random>
#include <unordered_map>

#include "gateway/forecast_scheduler.h"

namespace corvella::gateway {
namespace {

constexpr int kClients = 10000;
constexpr int kPlaces = 500;
constexpr std::int64_t kWarmUp = 6 * 3600;  // until every client has refreshed at least once
constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kGather = 1;  // asks this close share a call (the service's is 50 ms)

struct Figures {
  long calls = 0, places = 0, asks = 0;
  std::int64_t shortestRefetch = std::numeric_limits<std::int64_t>::max();
};

// `busyAsks` 0: no pre-emptive refresh, only fetches on demand.
Figures SimulateDay(int busyAsks) {
  ForecastPolicy policy;
  policy.busyAsks = busyAsks > 0 ? busyAsks : std::numeric_limits<int>::max();
  ForecastScheduler scheduler(policy);
  std::mt19937_64 random(20261207);
  // Zipf-like popularity: place k is asked for in proportion to 1/(k+1).
  std::vector<double> weights(kPlaces);
  for (int k = 0; k < kPlaces; ++k) weights[static_cast<std::size_t>(k)] = 1.0 / (k + 1);
  std::discrete_distribution<int> place(weights.begin(), weights.end());
  std::uniform_int_distribution<std::int64_t> period(3 * 3600, 6 * 3600);

  struct Client {
    std::int64_t next, period;
    std::string place;
  };
  std::vector<Client> clients;
  using Event = std::pair<std::int64_t, int>;
  std::priority_queue<Event, std::vector<Event>, std::greater<>> events;
  for (int c = 0; c < kClients; ++c) {
    std::int64_t p = period(random);
    clients.push_back(
        {std::uniform_int_distribution<std::int64_t>(0, p)(random), p, std::to_string(place(random))});
    events.emplace(clients.back().next, c);
  }

  Figures f;
  std::unordered_map<std::string, std::int64_t> lastFetch;
  std::int64_t batchDue = -1;
  auto fetch = [&](std::int64_t at) {
    std::vector<std::string> batch = scheduler.TakeBatch(at);
    if (batch.empty()) return;
    if (at >= kWarmUp) {
      ++f.calls;
      f.places += static_cast<long>(batch.size());
    }
    for (const std::string& id : batch) {
      auto it = lastFetch.find(id);
      if (it != lastFetch.end() && at >= kWarmUp)
        f.shortestRefetch = std::min(f.shortestRefetch, at - it->second);
      lastFetch[id] = at;
      CachedForecast c;
      c.fetchedAt = at;
      scheduler.Complete(id, std::move(c), at);
    }
  };
  std::int64_t nextSweep = 0;
  while (!events.empty() && events.top().first < kWarmUp + kDay) {
    auto [t, c] = events.top();
    events.pop();
    // What the worker does before this ask: a gathered batch, and the sweeps that fell due.
    while (true) {
      std::int64_t next = std::min(batchDue >= 0 ? batchDue : t + 1, nextSweep);
      if (next > t) break;
      fetch(next);
      if (next == batchDue) batchDue = -1;
      if (next >= nextSweep) nextSweep = next + policy.sweepSeconds;
    }
    if (t >= kWarmUp) ++f.asks;
    if (scheduler.Ask(clients[static_cast<std::size_t>(c)].place, t).outcome ==
            ForecastScheduler::Outcome::Wait &&
        batchDue < 0) {
      batchDue = t + kGather;
    }
    clients[static_cast<std::size_t>(c)].next = t + clients[static_cast<std::size_t>(c)].period;
    events.emplace(clients[static_cast<std::size_t>(c)].next, c);
  }
  return f;
}

void BM_SimulatedDay(benchmark::State& state) {
  Figures f;
  for (auto _ : state) f = SimulateDay(static_cast<int>(state.range(0)));
  state.counters["asks"] = static_cast<double>(f.asks);
  state.counters["http_calls"] = static_cast<double>(f.calls);
  state.counters["places_fetched"] = static_cast<double>(f.places);
  state.counters["places_per_call"] =
      f.calls ? static_cast<double>(f.places) / static_cast<double>(f.calls) : 0;
  state.counters["fetches_per_place_hour"] = static_cast<double>(f.places) / kPlaces / 24.0;
  state.counters["shortest_refetch_s"] = static_cast<double>(f.shortestRefetch);
}

// Argument: asks in a freshness window that make a place busy (0: no batched refresh at all).
BENCHMARK(BM_SimulatedDay)
    ->ArgName("busy_asks")
    ->Arg(0)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvella::gateway
