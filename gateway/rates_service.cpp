#include <chrono>

#include "gateway/bank_rates.h"
#include "gateway/services.h"

namespace corvella::gateway {

namespace {
constexpr std::int64_t kPageMaxAge = 300;
constexpr std::int64_t kRetryWithoutPage = 30;
constexpr auto kCheckEvery = std::chrono::seconds(5);
}  // namespace

RatesService::RatesService(std::string url, Upstream& upstream, Metrics& metrics, UnixClock clock)
    : url_(std::move(url)), upstream_(upstream), metrics_(metrics), clock_(std::move(clock)) {
  worker_.thread = std::thread([this] { Run(); });
}

RatesService::~RatesService() { Stop(); }

void RatesService::Stop() { worker_.Stop(); }

Answer RatesService::Get() {
  std::lock_guard lock(worker_.mutex);
  if (!page_) return Answer{503, nullptr, 0, kRetryWithoutPage};
  return Answer{200, page_, kPageMaxAge, 0};
}

void RatesService::Run() {
  std::optional<std::int64_t> held;
  std::int64_t lastAttempt = INT64_MIN / 2;
  std::unique_lock lock(worker_.mutex);
  while (!worker_.stop) {
    const std::int64_t now = clock_();
    if (RatesDue(held, lastAttempt, now)) {
      lastAttempt = now;
      lock.unlock();
      // The bank's list is a few kilobytes; its site may move the page (no key goes with it).
      UpstreamReply reply = upstream_.Get(url_, {1u << 20, true});
      std::string error = reply.error;
      std::optional<RatesSet> set;
      if (error.empty() && reply.status != 200) error = "bank answered " + std::to_string(reply.status);
      if (error.empty()) set = ReadBankRates(reply.body, error);
      for (const std::string& code : set ? set->skipped : std::vector<std::string>()) {
        metrics_.Error("rates_valute_skipped");
        LogLine("rates: a malformed Valute left out: " + Printable(code));
      }
      metrics_.Upstream("rates", set ? "ok" : "failed", reply.seconds);
      // A set older than the one held (a stale mirror, a cached redirect) never replaces it.
      std::shared_ptr<const std::string> page;
      if (set && (!held || set->effectiveDay >= *held)) {
        page = std::make_shared<const std::string>(RenderRatesPage(*set));
        held = set->effectiveDay;
      }
      if (!set) LogLine("rates: " + error + (held ? "; serving the last good set" : ""));
      lock.lock();
      if (page) page_ = std::move(page);
      continue;
    }
    worker_.wake.wait_for(lock, kCheckEvery, [this] { return worker_.stop; });
  }
}

}  // namespace corvella::gateway
