// Loading the embedded catalogue into LocationEntries, against a plain reader that only splits
// the same bytes into owned lines: the floor any loader pays. Between the two, copying rows
// that are already decoded into fresh entries shows what the four strings of an entry cost
// by themselves.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "shell/location_catalogue.h"

namespace corvella {
namespace {

std::vector<std::string> SplitLines(std::string_view bytes) {
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    lines.emplace_back(bytes.substr(0, end));
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
  }
  return lines;
}

void BM_PlainLineReader(benchmark::State& state) {
  std::string_view bytes = CatalogueBytes();
  for (auto _ : state) {
    std::vector<std::string> lines = SplitLines(bytes);
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_PlainLineReader)->Unit(benchmark::kMicrosecond);

void BM_CopyDecodedRowsIntoEntries(benchmark::State& state) {
  std::string_view bytes = CatalogueBytes();
  LocationCatalogue decoded = LocationCatalogue::FromBytes(bytes);
  for (auto _ : state) {
    std::vector<LocationEntry> entries;
    entries.reserve(decoded.size());
    for (const LocationEntry& e : decoded.entries()) entries.push_back(e);
    benchmark::DoNotOptimize(entries.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_CopyDecodedRowsIntoEntries)->Unit(benchmark::kMicrosecond);

void BM_LocationCatalogueFromBytes(benchmark::State& state) {
  std::string_view bytes = CatalogueBytes();
  for (auto _ : state) {
    LocationCatalogue catalogue = LocationCatalogue::FromBytes(bytes);
    benchmark::DoNotOptimize(catalogue.entries().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LocationCatalogueFromBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace corvella
