#include <algorithm>
#include <chrono>

#include "gateway/feed_document.h"
#include "gateway/services.h"

namespace corvella::gateway {

namespace {
constexpr std::int64_t kDefaultHoldOff = 60;
constexpr std::int64_t kStaleMaxAge = 60;
constexpr int kForecastDays = 8;           // seven local days from today even when served stale past midnight
constexpr std::size_t kMaxGetPlaces = 50;  // longer lists go as a POST form
}  // namespace

ForecastService::ForecastService(Options options, Upstream& upstream, Geocoder& geocoder, SourceGate& gate,
                                 Metrics& metrics, UnixClock clock)
    : options_(std::move(options)),
      upstream_(upstream),
      geocoder_(geocoder),
      gate_(gate),
      metrics_(metrics),
      clock_(std::move(clock)),
      scheduler_(options_.policy) {
  options_.policy.maxBatch =
      std::min<std::size_t>(options_.policy.maxBatch, static_cast<std::size_t>(gate_.Largest()));
  scheduler_ = ForecastScheduler(options_.policy);
  worker_.thread = std::thread([this] { Run(); });
}

ForecastService::~ForecastService() { Stop(); }

void ForecastService::Stop() {
  worker_.Stop();
  std::unordered_map<std::string, std::vector<std::function<void(Answer)>>> owed;
  {
    std::lock_guard lock(worker_.mutex);
    owed.swap(waiters_);
  }
}

Answer ForecastService::AnswerFor(const std::string& id, CachedPtr entry, std::int64_t now) {
  if (!scheduler_.Servable(entry, now)) {
    std::int64_t wait = std::max<std::int64_t>(scheduler_.HeldOffUntil() - now, kDefaultHoldOff);
    return Answer{503, nullptr, 0, wait};
  }
  const std::int64_t hour = LocalHourStart(entry->forecast, now);
  if (!entry->document || entry->documentHour != hour) {
    std::optional<std::string> doc = RenderFeedDocument(entry->forecast, id, now);
    if (!doc) {
      metrics_.Error("forecast_runs_out");
      return Answer{503, nullptr, 0, kDefaultHoldOff};
    }
    auto fresh = std::make_shared<CachedForecast>(*entry);
    fresh->document = std::make_shared<const std::string>(std::move(*doc));
    fresh->documentHour = hour;
    entry = fresh;
    scheduler_.Replace(id, entry);
  }
  const std::int64_t age = now - entry->fetchedAt;
  std::int64_t maxAge = std::min(options_.policy.freshSeconds - age, hour + 3600 - now);
  if (maxAge <= 0) maxAge = std::min(kStaleMaxAge, hour + 3600 - now);
  return Answer{200, entry->document, std::max<std::int64_t>(maxAge, 0), 0};
}

void ForecastService::Get(const CataloguePlace& place, std::function<void(Answer)> done, const Admission& admitNew) {
  std::int64_t retryAfter = 0;
  bool refused = false;
  if (admitNew) {
    std::lock_guard lock(worker_.mutex);
    refused = !scheduler_.Entry(place.feedId) && !admitNew(retryAfter);
  }
  if (refused) return done(Answer{429, nullptr, 0, retryAfter});
  Answer answer;
  {
    std::lock_guard lock(worker_.mutex);
    const std::int64_t now = clock_();
    ForecastScheduler::Lookup l = scheduler_.Ask(place.feedId, now);
    if (l.outcome == ForecastScheduler::Outcome::Wait) {
      metrics_.Cache("miss");
      places_[place.feedId] = &place;
      waiters_[place.feedId].push_back(std::move(done));
      worker_.wake.notify_one();
      return;
    }
    metrics_.Cache(l.outcome == ForecastScheduler::Outcome::Serve ? "hit" : "stale");
    answer = AnswerFor(place.feedId, l.entry, now);
  }
  done(std::move(answer));
}

void ForecastService::Run() {
  std::unique_lock lock(worker_.mutex);
  while (!worker_.stop) {
    const std::int64_t now = clock_();
    const std::int64_t wakeAt = std::max(scheduler_.NextSweep(), scheduler_.HeldOffUntil());
    if (!scheduler_.HasQueued() || now < scheduler_.HeldOffUntil()) {
      worker_.wake.wait_for(lock, std::chrono::seconds(std::clamp<std::int64_t>(wakeAt - now, 1, 60)));
      if (worker_.stop) break;
      if (!scheduler_.HasQueued() && clock_() < scheduler_.NextSweep()) continue;
    }
    // Let asks arriving close together join this call.
    worker_.wake.wait_for(lock, std::chrono::milliseconds(options_.gatherMilliseconds),
                          [this] { return worker_.stop; });
    if (worker_.stop) break;
    std::vector<std::string> batch = scheduler_.TakeBatch(clock_());
    if (batch.empty()) continue;
    lock.unlock();
    FetchBatch(std::move(batch), clock_());
    lock.lock();
  }
}

void ForecastService::FetchBatch(std::vector<std::string> ids, std::int64_t now) {
  std::vector<std::string> located;
  std::vector<Coordinates> at;
  std::vector<std::string> failed;
  for (const std::string& id : ids) {
    const CataloguePlace* place;
    {
      std::lock_guard lock(worker_.mutex);
      place = places_.at(id);
    }
    Geocoder::Result r = geocoder_.Resolve(*place);
    if (r.place && r.place->how != GeocodeHow::Nowhere) {
      located.push_back(id);
      at.push_back(r.place->at);
    } else {
      failed.push_back(id);
    }
  }
  if (!located.empty()) Fetch(located, at, now);

  std::vector<std::pair<std::function<void(Answer)>, Answer>> replies;
  {
    std::lock_guard lock(worker_.mutex);
    const std::int64_t done = clock_();
    for (const std::string& id : failed) scheduler_.Complete(id, std::nullopt, done);
    for (const std::string& id : ids) {
      auto it = waiters_.find(id);
      if (it == waiters_.end()) continue;
      Answer a = AnswerFor(id, scheduler_.Entry(id), done);
      for (auto& w : it->second) replies.emplace_back(std::move(w), a);
      waiters_.erase(it);
    }
  }
  for (auto& [w, a] : replies) w(std::move(a));
}

std::string ForecastService::QueryFor(const std::vector<Coordinates>& at) const {
  std::string lat, lon;
  char buf[32];
  for (const Coordinates& c : at) {
    std::snprintf(buf, sizeof buf, "%s%.4f", lat.empty() ? "" : ",", c.latitude);
    lat += buf;
    std::snprintf(buf, sizeof buf, "%s%.4f", lon.empty() ? "" : ",", c.longitude);
    lon += buf;
  }
  std::string q = "latitude=" + lat + "&longitude=" + lon +
                  "&current=temperature_2m,weather_code&hourly=temperature_2m,weather_code"
                  "&daily=temperature_2m_max,temperature_2m_min&timezone=auto&timeformat=unixtime"
                  "&forecast_days=" +
                  std::to_string(kForecastDays);
  if (!options_.apiKey.empty()) q += "&apikey=" + EscapeQueryValue(options_.apiKey);
  return q;
}

void ForecastService::Fetch(const std::vector<std::string>& ids, const std::vector<Coordinates>& at,
                            std::int64_t now) {
  std::vector<std::optional<CachedForecast>> results(ids.size());
  std::int64_t openAt = 0;
  if (!gate_.Take(static_cast<std::int64_t>(ids.size()), now, openAt)) {
    metrics_.Upstream("forecast", "held_off", 0, 0);
    std::lock_guard lock(worker_.mutex);
    scheduler_.HoldOff(openAt);
  } else {
    std::string query = QueryFor(at);
    UpstreamReply reply = ids.size() <= kMaxGetPlaces ? upstream_.Get(options_.url + "?" + query)
                                                      : upstream_.Post(options_.url, query);
    const auto places = static_cast<long>(ids.size());
    if (reply.status == 429) {
      std::int64_t until = now + (reply.retryAfter > 0 ? reply.retryAfter : kDefaultHoldOff);
      gate_.HoldOff(until);
      metrics_.Upstream("forecast", "refused", reply.seconds, places);
      LogLine("forecast: 429, holding off for " + std::to_string(until - now) + " s");
      std::lock_guard lock(worker_.mutex);
      scheduler_.HoldOff(until);
    } else if (!reply.error.empty() || reply.status != 200) {
      metrics_.Upstream("forecast", "failed", reply.seconds, places);
      LogLine("forecast: " + (reply.error.empty()
                                  ? "status " + std::to_string(reply.status) + " " + ErrorReason(reply.body)
                                  : reply.error));
    } else {
      BatchReply parsed = ReadForecastReply(reply.body, at);
      metrics_.Upstream("forecast", parsed.error.empty() ? "ok" : "malformed", reply.seconds, places);
      if (!parsed.error.empty()) LogLine("forecast: " + parsed.error);
      const std::int64_t fetched = clock_();
      for (std::size_t i = 0; i < ids.size(); ++i) {
        if (!parsed.places[i]) continue;
        CachedForecast c;
        c.forecast = std::move(*parsed.places[i]);
        c.fetchedAt = fetched;
        results[i] = std::move(c);
      }
    }
  }
  std::lock_guard lock(worker_.mutex);
  const std::int64_t done = clock_();
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (!results[i]) metrics_.Error("forecast_place");
    scheduler_.Complete(ids[i], std::move(results[i]), done);
  }
}

}  // namespace corvella::gateway
