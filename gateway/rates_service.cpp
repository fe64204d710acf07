#include <algorithm>
#include <chrono>
#include <map>

#include "gateway/bank_rates.h"
#include "gateway/geocoder.h"
#include "gateway/metrics.h"
#include "gateway/rate_history.h"
#include "gateway/rate_series_store.h"
#include "gateway/services.h"

namespace corvella::gateway {

namespace {
constexpr std::int64_t kPageMaxAge = 300;
constexpr std::int64_t kRetryWithoutPage = 30;
constexpr std::int64_t kFirstRetry = 600;
constexpr std::int64_t kFirstRetryWithout = 60;  // no list held yet: the first retries come sooner
constexpr auto kCheckEvery = std::chrono::seconds(5);
constexpr auto kBetweenCalls = std::chrono::milliseconds(500);

// The bank's list: a malformed Valute is left out, counted and logged (escaped), the rest kept.
std::optional<RatesSet> ReadList(std::string_view body, std::string& error, Metrics& metrics) {
  std::optional<RatesSet> set = ReadBankRates(body, error);
  for (const std::string& code : set ? set->skipped : std::vector<std::string>()) {
    metrics.Error("rates_valute_skipped");
    LogLine("rates: a malformed Valute left out: " + Printable(code));
  }
  return set;
}

// A source asked again only after its back-off.
struct Attempts {
  int failures = 0;
  std::int64_t retryAt = 0;
  bool Due(std::int64_t now) const { return now >= retryAt; }
  void Failed(std::int64_t now, std::int64_t first = kFirstRetry) { retryAt = now + RetryDelay(++failures, first); }
  void Succeeded() { failures = 0, retryAt = 0; }
};

// A currency's series: when it was last fetched (Moscow's date), and whether the store was read.
struct SeriesState {
  bool looked = false;
  std::int64_t fetchedDay = INT64_MIN / 2;
  Attempts attempts;
};
}  // namespace

RatesService::RatesService(std::string url, std::string storePath, Upstream& upstream, Metrics& metrics,
                           UnixClock clock)
    : url_(std::move(url)),
      storePath_(std::move(storePath)),
      upstream_(upstream),
      metrics_(metrics),
      clock_(std::move(clock)) {
  worker_.thread = std::thread([this] { Run(); });
}

RatesService::~RatesService() { Stop(); }

void RatesService::Stop() { worker_.Stop(); }

Answer RatesService::Get() {
  std::lock_guard lock(worker_.mutex);
  if (!page_) return Answer{503, nullptr, 0, kRetryWithoutPage};
  return Answer{200, page_, kPageMaxAge, 0};
}

std::optional<std::string> RatesService::Ask(const std::string& url, std::string_view what) {
  // The bank's documents are a few kilobytes; its site may move a page (no key goes with it).
  UpstreamReply reply = upstream_.Get(url, {1u << 20, true});
  if (reply.error.empty() && reply.status != 200)
    reply.error = "bank answered " + std::to_string(reply.status);
  metrics_.Upstream("rates", reply.error.empty() ? "ok" : "failed", reply.seconds);
  if (reply.error.empty()) return std::move(reply.body);
  LogLine("rates: " + std::string(what) + ": " + reply.error);
  return std::nullopt;
}

void RatesService::Run() {
  HeldLists lists;
  std::int64_t lastAttempt = INT64_MIN / 2;
  Attempts latest, dated;
  std::map<std::string, std::vector<BankRecord>> series;
  std::map<std::string, SeriesState> states;
  std::unique_ptr<RateSeriesStore> store;  // opened when the first series is wanted
  std::unique_lock lock(worker_.mutex);
  while (!worker_.stop) {
    lock.unlock();
    const std::int64_t now = clock_();
    const std::int64_t today = MoscowDay(now);
    bool changed = lists.MoveOver(today), asked = false;
    std::string error;
    if (latest.Due(now) && RatesDue(lists.Latest(), lastAttempt, now)) {
      // The latest list: today's, or tomorrow's once the bank has published it.
      lastAttempt = now;
      asked = true;
      std::optional<RatesSet> set;
      if (std::optional<std::string> body = Ask(url_, "latest list")) {
        set = ReadList(*body, error, metrics_);
        if (!set) LogLine("rates: " + error + (lists.Shown() ? "; serving the last good set" : ""));
      }
      if (set) {
        latest.Succeeded();
        changed |= lists.Take(std::move(*set), today);
      } else {
        latest.Failed(now, lists.Shown() ? kFirstRetry : kFirstRetryWithout);
      }
    } else if (lists.LacksToday() && dated.Due(now)) {
      // Started after publication: today's list by its date (placed by the Date it carries).
      asked = true;
      std::optional<RatesSet> set;
      if (std::optional<std::string> body = Ask(DatedListUrl(url_, today), "today's list")) {
        set = ReadList(*body, error, metrics_);
        if (!set) LogLine("rates: today's list: " + error);
      }
      if (set) changed |= lists.Take(std::move(*set), today);
      if (lists.LacksToday())
        dated.Failed(now);
      else
        dated.Succeeded();
    } else {
      // Each shown currency's series, from the store or, once a day, from the bank.
      for (const std::string& id : SeriesIds(lists)) {
        SeriesState& state = states[id];
        if (!state.looked) {
          state.looked = true;
          if (!store) store = std::make_unique<RateSeriesStore>(storePath_);
          if (std::optional<StoredSeries> kept = store->Find(id)) {
            series[id] = std::move(kept->records);
            state.fetchedDay = kept->fetchedDay;
            changed = true;
          }
        }
        if (state.fetchedDay >= today || !state.attempts.Due(now)) continue;
        asked = true;
        const std::int64_t from = today - kSeriesDays;
        std::optional<std::vector<BankRecord>> records;
        if (std::optional<std::string> body = Ask(SeriesUrl(url_, id, from, today), "series " + id)) {
          records = ReadBankSeries(*body, error);
          if (!records) LogLine("rates: series " + id + ": " + error);
        }
        if (!records) {
          state.attempts.Failed(now);
          break;
        }
        state.attempts.Succeeded();
        state.fetchedDay = today;
        series[id] = SeriesWithin(std::move(*records), from, today);
        store->Save(id, {today, series[id]});
        changed = true;
        break;  // one bank call a round
      }
    }
    std::shared_ptr<const std::string> page;
    if (changed && lists.Shown()) {
      const std::vector<RowDetails> details = DetailsOf(lists, series);
      page = std::make_shared<const std::string>(RenderRatesPage(*lists.Shown(), &details));
    }
    lock.lock();
    if (page) page_ = std::move(page);
    // A moment between the bank's calls, a few seconds between looks at the clock.
    worker_.wake.wait_for(lock, asked ? kBetweenCalls : kCheckEvery, [this] { return worker_.stop; });
  }
}

}  // namespace corvella::gateway
