// Our two document decoders against glibc's iconv converting the same bytes from UTF-8 to
// CP1251: a 100 KiB forecast and a 70 KiB rates page, as feedsim serves them.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "retrieval/currency_rates.h"
#include "retrieval/weather_feed.h"
#include "tools/feedsim/sim_model.h"

namespace corvella {
namespace {

// Whole lines up to `size` bytes of the repeated document.
std::string CutToSize(const std::string& text, std::size_t size) {
  std::size_t end = text.rfind('\n', size);
  return text.substr(0, end == std::string::npos ? size : end + 1);
}

const std::string& Forecast100K() {
  static const std::string doc = [] {
    std::string all;
    for (int id = 1; all.size() < 100 * 1024; ++id) {
      all += feedsim::RenderForecast(
          feedsim::MakeForecast(std::to_string(13000 + id), CivilDate{2026, 12, 7}, false));
    }
    return CutToSize(all, 100 * 1024);
  }();
  return doc;
}

const std::string& RatesPage70K() {
  static const std::string page = [] {
    std::vector<feedsim::SimRate> rates;
    for (int day = 0; rates.size() < 800; ++day) {
      auto more = feedsim::MakeRates(AddDays(CivilDate{2026, 12, 7}, day));
      rates.insert(rates.end(), more.begin(), more.end());
    }
    return CutToSize(feedsim::RenderRatesPage(rates, CivilDate{2026, 12, 7}), 70 * 1024);
  }();
  return page;
}

// What a user of iconv would write: convert the whole body into a new string.
std::string IconvToCp1251(iconv_t cd, const std::string& in) {
  std::string out(in.size(), '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - dstLeft);
  return out;
}

void Ours(benchmark::State& state, std::string (*decode)(std::string_view), const std::string& body) {
  for (auto _ : state) {
    std::string text = decode(body);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
  state.counters["body_bytes"] = static_cast<double>(body.size());
}

void Iconv(benchmark::State& state, const std::string& body, const std::string& expected) {
  iconv_t cd = iconv_open("CP1251", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv has no CP1251");
    return;
  }
  // Both sides must do the same work: the same text out.
  if (IconvToCp1251(cd, body) != expected) state.SkipWithError("iconv and our decoder disagree");
  for (auto _ : state) {
    std::string text = IconvToCp1251(cd, body);
    benchmark::DoNotOptimize(text.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
  state.counters["body_bytes"] = static_cast<double>(body.size());
}

void BM_Forecast100K_DecodeFeedBody(benchmark::State& state) { Ours(state, DecodeFeedBody, Forecast100K()); }
void BM_Forecast100K_Iconv(benchmark::State& state) {
  Iconv(state, Forecast100K(), DecodeFeedBody(Forecast100K()));
}
void BM_RatesPage70K_DecodeRatesPage(benchmark::State& state) {
  Ours(state, DecodeRatesPage, RatesPage70K());
}
void BM_RatesPage70K_Iconv(benchmark::State& state) {
  Iconv(state, RatesPage70K(), DecodeRatesPage(RatesPage70K()));
}

BENCHMARK(BM_Forecast100K_DecodeFeedBody);
BENCHMARK(BM_Forecast100K_Iconv);
BENCHMARK(BM_RatesPage70K_DecodeRatesPage);
BENCHMARK(BM_RatesPage70K_Iconv);

}  // namespace
}  // namespace corvella
