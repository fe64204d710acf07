// Indexing the embedded catalogue's rows, against a plain reader that only splits the same bytes
// into owned lines: the floor any loader that copies pays. Decoding every row's display text is
// what filling the location list asks of the catalogue.
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

void BM_DecodeEveryDisplayText(benchmark::State& state) {
  std::string_view bytes = CatalogueBytes();
  const LocationCatalogue catalogue = LocationCatalogue::Embedded();
  for (auto _ : state) {
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
      std::string text = catalogue.DisplayTextAt(i);
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeEveryDisplayText)->Unit(benchmark::kMicrosecond);

void BM_IndexEmbeddedCatalogue(benchmark::State& state) {
  std::string_view bytes = CatalogueBytes();
  for (auto _ : state) {
    LocationCatalogue catalogue = LocationCatalogue::Embedded();
    benchmark::DoNotOptimize(catalogue.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_IndexEmbeddedCatalogue)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace corvella
