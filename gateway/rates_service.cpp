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
  worker_ = std::thread([this] { Run(); });
}

RatesService::~RatesService() { Stop(); }

void RatesService::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

Answer RatesService::Get() {
  std::lock_guard lock(mutex_);
  if (!page_) return Answer{503, nullptr, 0, kRetryWithoutPage};
  return Answer{200, page_, kPageMaxAge, 0};
}

void RatesService::Run() {
  std::optional<std::int64_t> held;
  std::int64_t lastAttempt = INT64_MIN / 2;
  std::unique_lock lock(mutex_);
  while (!stop_) {
    const std::int64_t now = clock_();
    if (RatesDue(held, lastAttempt, now)) {
      lastAttempt = now;
      lock.unlock();
      UpstreamReply reply = upstream_.Get(url_);
      std::string error = reply.error;
      std::optional<RatesSet> set;
      if (error.empty() && reply.status != 200) error = "bank answered " + std::to_string(reply.status);
      if (error.empty()) set = ReadBankRates(reply.body, error);
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
    wake_.wait_for(lock, kCheckEvery, [this] { return stop_; });
  }
}

}  // namespace corvella::gateway
