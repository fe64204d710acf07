// The two data services behind the HTTP front: forecasts (cached, coalesced and batched on a
// worker thread) and the rates page (refreshed on its own thread, the last good set kept).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "gateway/forecast_scheduler.h"
#include "gateway/geocoder.h"

namespace corvella::gateway {

// What the front sends: a status, the document (for 200), and cache directives.
struct Answer {
  unsigned status = 503;
  std::shared_ptr<const std::string> body;
  std::int64_t maxAge = 0;
  std::int64_t retryAfter = 0;  // seconds, for 503
};

// A new place costs the forecast source a call, so its client must have an allowance for it:
// spends one and sets `giveBack`, which returns it when the ask ends without a call made for
// it; or gives the seconds until one is free.
using Admission = std::function<bool(std::int64_t& retryAfter, std::function<void()>& giveBack)>;

// A service's worker thread, the lock it shares with the service, and how it is told to end.
struct ServiceThread {
  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  std::thread thread;
  void Stop() {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    wake.notify_all();
    if (thread.joinable()) thread.join();
  }
};

class ForecastService {
 public:
  struct Options {
    std::string url;
    std::string apiKey;
    ForecastPolicy policy;
    int gatherMilliseconds = 50;  // asks arriving this close together share a call
  };
  ForecastService(Options options, Upstream& upstream, Geocoder& geocoder, SourceGate& gate, GeocodeStore& store,
                  Metrics& metrics, UnixClock clock);
  ~ForecastService();
  // Stops the worker and drops the answers still owed (their connections are closing).
  void Stop();

  // Answers through `done`, at once from the cache or from the worker after a fetch. A place
  // not held is fetched only when `admitNew` agrees; else the answer is 429 with the
  // Retry-After it gives. Gives the ticket of the ask left waiting (0 when already answered).
  std::uint64_t Get(const CataloguePlace& place, std::function<void(Answer)> done, const Admission& admitNew = {});
  // The ask `ticket` for `feedId` waits no longer: it is answered now with what there is (a
  // stale copy, or 503 with `retryAfter`), and freed.
  void Drop(const std::string& feedId, std::uint64_t ticket, std::int64_t retryAfter);

  // Asks waiting for fetches, at most; more get 503 at once.
  static constexpr std::size_t kMaxWaiters = 10000;

 private:
  struct Waiter {
    std::uint64_t ticket;
    std::function<void(Answer)> done;
    std::function<void()> giveBack;  // set when the ask spent an allowance
  };
  using Replies = std::vector<std::pair<Waiter, Answer>>;
  static void Reply(Replies& replies);  // outside mutex_
  void Run();
  void FetchBatch(std::vector<std::string> ids, std::int64_t now);
  void Located(const std::string& id, bool found);  // on a geocoder thread
  // Answers the waiters of `ids`; `called` when a call was made for them.
  Replies TakeWaiters(const std::vector<std::string>& ids, std::int64_t now, bool called);  // under mutex_
  // Fetches what the budget has room for; gives the rest, and when they may go.
  std::vector<std::string> Fetch(const std::vector<std::string>& ids, const std::vector<Coordinates>& at,
                                 std::int64_t now, std::int64_t& deferredUntil);
  Answer AnswerFor(const std::string& id, CachedPtr entry, std::int64_t now, std::int64_t retryAfter = 0);  // under mutex_
  bool Served(const std::string& id) const;  // under mutex_
  void RememberServed(const std::vector<std::string>& ids, std::int64_t now);
  std::string QueryFor(const std::vector<Coordinates>& at) const;

  Options options_;
  Upstream& upstream_;
  Geocoder& geocoder_;
  SourceGate& gate_;
  Metrics& metrics_;
  UnixClock clock_;

  ServiceThread worker_;
  GeocodeStore& store_;
  ForecastScheduler scheduler_;
  std::unordered_map<std::string, std::vector<Waiter>> waiters_;
  std::size_t waiting_ = 0;
  std::uint64_t nextTicket_ = 0;
  // Places served, and when that was last written to the store: their refreshes may spend the
  // budget's reserve even after their forecast has left the cache, or the process restarted.
  std::unordered_map<std::string, std::int64_t> served_;
  std::unordered_map<std::string, const CataloguePlace*> places_;
  std::unordered_set<std::string> awaited_;          // looked up while their batch waits
  std::unordered_map<std::string, bool> geocoded_;   // ... and found (true) or not, in time
};

// The bank's lists and each shown currency's series (kept in the SQLite file at `storePath`).
class RatesService {
 public:
  RatesService(std::string url, std::string storePath, Upstream& upstream, Metrics& metrics, UnixClock clock);
  ~RatesService();
  void Stop();
  Answer Get();

 private:
  void Run();
  std::optional<std::string> Ask(const std::string& url, std::string_view what);  // the body, or nothing
  std::string url_, storePath_;
  Upstream& upstream_;
  Metrics& metrics_;
  UnixClock clock_;
  ServiceThread worker_;
  std::shared_ptr<const std::string> page_;
};

}  // namespace corvella::gateway
