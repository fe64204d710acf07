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
  ForecastService(Options options, Upstream& upstream, Geocoder& geocoder, SourceGate& gate, Metrics& metrics,
                  UnixClock clock);
  ~ForecastService();
  // Stops the worker and drops the answers still owed (their connections are closing).
  void Stop();

  // Answers through `done`, at once from the cache or from the worker after a fetch. A place
  // not yet held is fetched only when `admitNew` agrees; else the answer is 429 with the
  // Retry-After it gives.
  using Admission = std::function<bool(std::int64_t& retryAfter)>;
  void Get(const CataloguePlace& place, std::function<void(Answer)> done, const Admission& admitNew = {});

 private:
  void Run();
  using Replies = std::vector<std::pair<std::function<void(Answer)>, Answer>>;
  void FetchBatch(std::vector<std::string> ids, std::int64_t now);
  void Located(const std::string& id, bool found);  // on a geocoder thread
  Replies TakeWaiters(const std::vector<std::string>& ids, std::int64_t now);  // under mutex_
  void Fetch(const std::vector<std::string>& ids, const std::vector<Coordinates>& at, std::int64_t now);
  Answer AnswerFor(const std::string& id, CachedPtr entry, std::int64_t now);  // under mutex_
  std::string QueryFor(const std::vector<Coordinates>& at) const;

  Options options_;
  Upstream& upstream_;
  Geocoder& geocoder_;
  SourceGate& gate_;
  Metrics& metrics_;
  UnixClock clock_;

  ServiceThread worker_;
  ForecastScheduler scheduler_;
  std::unordered_map<std::string, std::vector<std::function<void(Answer)>>> waiters_;
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
