#include <algorithm>
#include <chrono>
#include <string_view>

#include "gateway/feed_document.h"
#include "gateway/services.h"

namespace corvella::gateway {

namespace {
constexpr std::int64_t kDefaultHoldOff = 60;
constexpr std::int64_t kStaleMaxAge = 60;
constexpr int kForecastDays = 8;           // seven local days from today even when served stale past midnight
constexpr std::size_t kMaxGetPlaces = 50;  // longer lists go as a POST form
// How long a batch waits for its new places' coordinates before going without them.
constexpr std::chrono::seconds kGeocodeWait{2};
// A place's eight days come to some 16 KB of JSON: room for twice that, no more.
constexpr std::size_t kReplyBytesPerPlace = 32u << 10;

// What a place is asked for. The source weighs a place asked for more than ten variables as
// variables / 10 calls; the days' precipitation and wind are summed up from the hours.
constexpr std::string_view kCurrentVariables = "temperature_2m,weather_code";
constexpr std::string_view kHourlyVariables =
    "temperature_2m,weather_code,apparent_temperature,wind_speed_10m,wind_gusts_10m,wind_direction_10m,"
    "surface_pressure,relative_humidity_2m,precipitation,precipitation_probability";
constexpr std::string_view kDailyVariables = "weather_code,temperature_2m_max,temperature_2m_min";
constexpr std::int64_t VariablesIn(std::string_view list) {
  return 1 + static_cast<std::int64_t>(std::count(list.begin(), list.end(), ','));
}
// What one place weighs in the call budget, in tenths of a call: 15 variables, 1.5 calls.
constexpr std::int64_t kPlaceWeightTenths = std::max<std::int64_t>(
    10, VariablesIn(kCurrentVariables) + VariablesIn(kHourlyVariables) + VariablesIn(kDailyVariables));
// The calls `places` places cost, rounded up.
std::int64_t PlaceCalls(std::int64_t places) { return (places * kPlaceWeightTenths + 9) / 10; }

// The key goes with every call: redirects are never followed.
CallLimits ForecastLimits(std::size_t places) { return {(places + 2) * kReplyBytesPerPlace, false}; }
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
  options_.policy.maxBatch = std::min<std::size_t>(options_.policy.maxBatch,
                                                   static_cast<std::size_t>(gate_.Largest() * 10 / kPlaceWeightTenths));
  scheduler_ = ForecastScheduler(options_.policy);
  worker_.thread = std::thread([this] { Run(); });
}

ForecastService::~ForecastService() { Stop(); }

void ForecastService::Stop() {
  geocoder_.StopWorkers();  // they call back into this service
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

// New places are looked up on the geocoder's own threads, a few at once. The batch waits for
// them a short while; those found later come back to the queue on their own, so a stalled
// geocoder holds up the other places of a batch for that short while only.
void ForecastService::FetchBatch(std::vector<std::string> ids, std::int64_t now) {
  std::vector<std::string> located, failed, lookups;
  std::vector<Coordinates> at;
  auto use = [&](const std::string& id, const std::optional<StoredPlace>& stored) {
    if (stored && stored->how != GeocodeHow::Nowhere) {
      located.push_back(id);
      at.push_back(stored->at);
    } else {
      failed.push_back(id);
    }
  };
  for (const std::string& id : ids) {
    if (std::optional<StoredPlace> stored = geocoder_.Stored(id)) {
      use(id, stored);
      continue;
    }
    const CataloguePlace* place;
    {
      std::lock_guard lock(worker_.mutex);
      place = places_.at(id);
      awaited_.insert(id);
    }
    if (geocoder_.ResolveLater(*place, [this](const CataloguePlace& p, const Geocoder::Result& r) {
          Located(p.feedId, r.place.has_value());
        })) {
      lookups.push_back(id);
    } else {
      std::lock_guard lock(worker_.mutex);
      awaited_.erase(id);
      metrics_.Refusal("geocode_queue_full");
      failed.push_back(id);
    }
  }
  if (!lookups.empty()) {
    std::vector<std::string> found;
    {
      std::unique_lock lock(worker_.mutex);
      worker_.wake.wait_for(lock, kGeocodeWait, [&] {
        return worker_.stop ||
               std::none_of(lookups.begin(), lookups.end(), [&](const std::string& id) { return awaited_.count(id); });
      });
      for (const std::string& id : lookups) {
        auto it = geocoded_.find(id);
        if (it == geocoded_.end()) {
          awaited_.erase(id);  // still looking: Located puts it back in the queue
        } else {
          (it->second ? found : failed).push_back(id);
          geocoded_.erase(it);
        }
      }
    }
    for (const std::string& id : found) use(id, geocoder_.Stored(id));
  }
  if (!located.empty()) Fetch(located, at, now);
  Replies replies;
  {
    std::lock_guard lock(worker_.mutex);
    const std::int64_t done = clock_();
    for (const std::string& id : failed) scheduler_.Complete(id, std::nullopt, done);
    std::vector<std::string> answered = std::move(failed);
    answered.insert(answered.end(), located.begin(), located.end());
    replies = TakeWaiters(answered, done);
  }
  for (auto& [w, a] : replies) w(std::move(a));
}

void ForecastService::Located(const std::string& id, bool found) {
  Replies replies;
  {
    std::lock_guard lock(worker_.mutex);
    if (worker_.stop) return;
    if (awaited_.erase(id)) {  // its batch is waiting for it
      geocoded_[id] = found;
      worker_.wake.notify_all();
      return;
    }
    if (found) {
      scheduler_.Requeue(id);
      worker_.wake.notify_one();
      return;
    }
    const std::int64_t now = clock_();
    scheduler_.Complete(id, std::nullopt, now);
    replies = TakeWaiters({id}, now);
  }
  for (auto& [w, a] : replies) w(std::move(a));
}

ForecastService::Replies ForecastService::TakeWaiters(const std::vector<std::string>& ids, std::int64_t now) {
  Replies replies;
  for (const std::string& id : ids) {
    auto it = waiters_.find(id);
    if (it == waiters_.end()) continue;
    Answer a = AnswerFor(id, scheduler_.Entry(id), now);
    for (auto& w : it->second) replies.emplace_back(std::move(w), a);
    waiters_.erase(it);
  }
  return replies;
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
  std::string q = "latitude=" + lat + "&longitude=" + lon + "&current=" + std::string(kCurrentVariables) +
                  "&hourly=" + std::string(kHourlyVariables) + "&daily=" + std::string(kDailyVariables) +
                  "&wind_speed_unit=ms&timezone=auto&timeformat=unixtime&forecast_days=" +
                  std::to_string(kForecastDays);
  if (!options_.apiKey.empty()) q += "&apikey=" + EscapeQueryValue(options_.apiKey);
  return q;
}

void ForecastService::Fetch(const std::vector<std::string>& ids, const std::vector<Coordinates>& at,
                            std::int64_t now) {
  std::vector<std::optional<CachedForecast>> results(ids.size());
  // Places already served spend the budget's reserve if they must; new ones only what is above it.
  std::vector<char> served(ids.size());
  std::int64_t servedCount = 0;
  {
    std::lock_guard lock(worker_.mutex);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      served[i] = scheduler_.Entry(ids[i]) != nullptr;
      servedCount += served[i];
    }
  }
  const std::int64_t newCount = static_cast<std::int64_t>(ids.size()) - servedCount;
  std::int64_t openAt = 0, newOpenAt = 0;
  const bool refresh = servedCount == 0 || gate_.Take(PlaceCalls(servedCount), now, openAt, CallBudget::Use::Refresh);
  const bool fresh = newCount == 0 || gate_.Take(PlaceCalls(newCount), now, newOpenAt, CallBudget::Use::New);
  if (!fresh) metrics_.Refusal("budget_new_places");
  std::vector<std::size_t> go;  // indexes into ids
  std::vector<Coordinates> goAt;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (served[i] ? refresh : fresh) {
      go.push_back(i);
      goAt.push_back(at[i]);
    }
  }
  if (go.empty()) {
    metrics_.Upstream("forecast", "held_off", 0, 0);
    std::lock_guard lock(worker_.mutex);
    if (!refresh) scheduler_.HoldOff(openAt);
  } else {
    std::string query = QueryFor(goAt);
    UpstreamReply reply = go.size() <= kMaxGetPlaces
                              ? upstream_.Get(options_.url + "?" + query, ForecastLimits(go.size()))
                              : upstream_.Post(options_.url, query, ForecastLimits(go.size()));
    const auto places = static_cast<long>(go.size());
    if (reply.status == 429) {
      std::int64_t until = now + (reply.retryAfter > 0 ? reply.retryAfter : kDefaultHoldOff);
      gate_.HoldOff(until);
      metrics_.Upstream("forecast", "refused", reply.seconds, places);
      LogLine("forecast: 429, holding off for " + std::to_string(until - now) + " s");
      std::lock_guard lock(worker_.mutex);
      scheduler_.HoldOff(until);
    } else if (!reply.error.empty() || reply.status != 200) {
      metrics_.Upstream("forecast", "failed", reply.seconds, places);
      LogLine("forecast: " + (reply.error.empty() ? "status " + std::to_string(reply.status) + " " +
                                                        Printable(ErrorReason(reply.body))
                                                  : reply.error));
    } else {
      BatchReply parsed = ReadForecastReply(reply.body, goAt);
      metrics_.Upstream("forecast", parsed.error.empty() ? "ok" : "malformed", reply.seconds, places);
      if (!parsed.error.empty()) LogLine("forecast: " + Printable(parsed.error));
      const std::int64_t fetched = clock_();
      for (std::size_t k = 0; k < go.size(); ++k) {
        if (!parsed.places[k]) continue;
        CachedForecast c;
        c.forecast = std::move(*parsed.places[k]);
        c.fetchedAt = fetched;
        results[go[k]] = std::move(c);
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
