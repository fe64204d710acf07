// What a newcomer's first new place costs the front when the table of clients is full (100,000
// clients remembered, every one of them spent): the least recently heard from makes room, in
// the same time whatever the table holds.
#include <benchmark/benchmark.h>

#include <string>

#include "gateway/admission.h"

namespace corvella::gateway {
namespace {

void NewcomerInAFullTable(benchmark::State& state) {
  const auto clients = static_cast<std::size_t>(state.range(0));
  MissAllowance allowance({1, 1, clients});
  std::int64_t retry = 0;
  for (std::size_t i = 0; i < clients; ++i) allowance.Take("10." + std::to_string(i), 0, retry);
  std::size_t next = clients;
  for (auto _ : state) {
    benchmark::DoNotOptimize(allowance.Take("10." + std::to_string(next++), 0, retry));
  }
}
BENCHMARK(NewcomerInAFullTable)->Arg(1000)->Arg(100000);

}  // namespace
}  // namespace corvella::gateway
