#include <algorithm>
#include <chrono>
#include <limits>
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
// A place served within this long is still "served": its refresh may spend the reserve.
constexpr std::int64_t kServedMemory = 7 * 86400;
// ... and is written to the store again at most this often.
constexpr std::int64_t kServedRewrite = 86400;

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
// What one place weighs in the call budget, in tenths of a call: 15 variables, 1.5 calls; a
// batch's weight is rounded up to whole calls.
constexpr std::int64_t kPlaceWeightTenths = std::max<std::int64_t>(
    10, VariablesIn(kCurrentVariables) + VariablesIn(kHourlyVariables) + VariablesIn(kDailyVariables));

// The key goes with every call: redirects are never followed.
CallLimits ForecastLimits(std::size_t places) { return {(places + 2) * kReplyBytesPerPlace, false}; }
}  // namespace

ForecastService::ForecastService(Options options, Upstream& upstream, Geocoder& geocoder, SourceGate& gate,
                                 GeocodeStore& store, Metrics& metrics, UnixClock clock)
    : options_(std::move(options)),
      upstream_(upstream),
      geocoder_(geocoder),
      gate_(gate),
      metrics_(metrics),
      clock_(std::move(clock)),
      store_(store),
      scheduler_(options_.policy) {
  const std::int64_t now = clock_();
  for (std::string& id : store_.LoadServedPlaces(now - kServedMemory)) served_.emplace(std::move(id), now);
  // The most places one call may carry: what the largest window holds at a place's weight (an
  // unlimited window is as large as an int64 goes, so it is cut before it is multiplied).
  const std::int64_t largest = std::min<std::int64_t>(gate_.Largest(), std::numeric_limits<std::int64_t>::max() / 10);
  options_.policy.maxBatch =
      std::min<std::size_t>(options_.policy.maxBatch, static_cast<std::size_t>(largest * 10 / kPlaceWeightTenths));
  scheduler_ = ForecastScheduler(options_.policy);
  worker_.thread = std::thread([this] { Run(); });
}

ForecastService::~ForecastService() { Stop(); }

void ForecastService::Stop() {
  geocoder_.StopWorkers();  // they call back into this service
  worker_.Stop();
  std::unordered_map<std::string, std::vector<Waiter>> owed;
  {
    std::lock_guard lock(worker_.mutex);
    owed.swap(waiters_);
    waiting_ = 0;
  }
}

Answer ForecastService::AnswerFor(const std::string& id, CachedPtr entry, std::int64_t now, std::int64_t retryAfter) {
  if (!scheduler_.Servable(entry, now)) {
    if (retryAfter <= 0) retryAfter = scheduler_.HeldOffUntil() > now ? scheduler_.HeldOffUntil() - now : kDefaultHoldOff;
    return Answer{503, nullptr, 0, retryAfter};
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

bool ForecastService::Served(const std::string& id) const { return scheduler_.Entry(id) || served_.count(id); }

void ForecastService::Reply(Replies& replies) {
  for (auto& [w, a] : replies) {
    if (w.giveBack) w.giveBack();
    w.done(std::move(a));
  }
}

std::uint64_t ForecastService::Get(const CataloguePlace& place, std::function<void(Answer)> done,
                                   const Admission& admitNew) {
  std::int64_t now = clock_();
  // A place not held costs a call: from the client's allowance, and from the budget (its reserve
  // too, for a place served before).
  bool uncached = false, isNew = false;
  if (admitNew) {
    std::lock_guard lock(worker_.mutex);
    uncached = !scheduler_.Entry(place.feedId);
    isNew = uncached && !served_.count(place.feedId);
  }
  if (uncached) {
    // A place that the budget has no room for now is not queued: the client hears when there
    // will be room, and keeps its allowance.
    const std::int64_t openAt =
        gate_.OpenAt((kPlaceWeightTenths + 9) / 10, now, isNew ? CallBudget::Use::New : CallBudget::Use::Refresh);
    if (openAt > now) {
      metrics_.Refusal(isNew ? "budget_new_places" : "budget");
      done(Answer{503, nullptr, 0, std::min<std::int64_t>(openAt - now, 86400)});
      return 0;
    }
  }
  Waiter w{0, std::move(done), nullptr};
  std::int64_t retryAfter = 0;
  if (uncached && !admitNew(retryAfter, w.giveBack)) {
    w.done(Answer{429, nullptr, 0, retryAfter});
    return 0;
  }
  Answer answer;
  {
    std::lock_guard lock(worker_.mutex);
    now = clock_();
    ForecastScheduler::Lookup l = scheduler_.Ask(place.feedId, now);
    if (l.outcome == ForecastScheduler::Outcome::Wait && l.notBefore <= now && waiting_ < kMaxWaiters) {
      metrics_.Cache("miss");
      places_[place.feedId] = &place;
      w.ticket = ++nextTicket_;
      waiters_[place.feedId].push_back(std::move(w));
      ++waiting_;
      worker_.wake.notify_one();
      return nextTicket_;
    }
    // Held off, deferred, or too many waiting: what there is, at once.
    if (l.outcome == ForecastScheduler::Outcome::Wait && waiting_ >= kMaxWaiters) metrics_.Refusal("waiters");
    metrics_.Cache(l.outcome == ForecastScheduler::Outcome::Serve ? "hit" : "stale");
    answer = AnswerFor(place.feedId, l.entry, now, l.notBefore - now);
  }
  if (w.giveBack) w.giveBack();  // no call was made for this ask
  w.done(std::move(answer));
  return 0;
}

void ForecastService::Drop(const std::string& feedId, std::uint64_t ticket, std::int64_t retryAfter) {
  Replies replies;
  {
    std::lock_guard lock(worker_.mutex);
    auto it = waiters_.find(feedId);
    if (it == waiters_.end()) return;
    auto& list = it->second;
    for (auto w = list.begin(); w != list.end(); ++w) {
      if (w->ticket != ticket) continue;
      replies.emplace_back(std::move(*w), AnswerFor(feedId, scheduler_.Entry(feedId), clock_(), retryAfter));
      list.erase(w);
      --waiting_;
      break;
    }
    if (list.empty()) waiters_.erase(it);
  }
  Reply(replies);
}

void ForecastService::Run() {
  std::unique_lock lock(worker_.mutex);
  while (!worker_.stop) {
    const std::int64_t now = clock_();
    if (!scheduler_.HasReady(now)) {
      const std::int64_t wakeAt =
          std::max(std::min(scheduler_.NextSweep(), scheduler_.ReadyAt()), scheduler_.HeldOffUntil());
      worker_.wake.wait_for(lock, std::chrono::seconds(std::clamp<std::int64_t>(wakeAt - now, 1, 60)));
      if (worker_.stop) break;
      if (!scheduler_.HasReady(clock_()) && clock_() < scheduler_.NextSweep()) continue;
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
  std::vector<std::string> deferred;
  std::int64_t deferredUntil = 0;
  if (!located.empty()) deferred = Fetch(located, at, now, deferredUntil);
  Replies replies;
  {
    std::lock_guard lock(worker_.mutex);
    const std::int64_t done = clock_();
    for (const std::string& id : failed) scheduler_.Complete(id, std::nullopt, done);
    replies = TakeWaiters(failed, done, false);
    std::vector<std::string> fetched;
    for (const std::string& id : located) {
      if (std::find(deferred.begin(), deferred.end(), id) == deferred.end()) fetched.push_back(id);
    }
    Replies more = TakeWaiters(fetched, done, true);
    // The places the budget had no room for wait for it in the queue, unless that is further
    // off than a forecast stays fresh (by then whoever asked has asked again, or not); their
    // asks are answered now, with what there is or when to come back.
    for (const std::string& id : deferred) {
      if (deferredUntil - done > options_.policy.freshSeconds) {
        scheduler_.Complete(id, std::nullopt, done);
      } else {
        scheduler_.Defer(id, deferredUntil);
      }
      auto it = waiters_.find(id);
      if (it == waiters_.end()) continue;
      Answer a = AnswerFor(id, scheduler_.Entry(id), done, std::min<std::int64_t>(deferredUntil - done, 86400));
      for (Waiter& w : it->second) more.emplace_back(std::move(w), a);
      waiting_ -= it->second.size();
      waiters_.erase(it);
    }
    for (auto& r : more) replies.push_back(std::move(r));
    // Held off: every ask still waiting has what there is now, rather than at its deadline.
    if (scheduler_.HeldOffUntil() > done) {
      for (auto& [id, list] : waiters_) {
        Answer a = AnswerFor(id, scheduler_.Entry(id), done, scheduler_.HeldOffUntil() - done);
        for (Waiter& w : list) replies.emplace_back(std::move(w), a);
      }
      waiters_.clear();
      waiting_ = 0;
    }
  }
  Reply(replies);
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
    replies = TakeWaiters({id}, now, false);
  }
  Reply(replies);
}

ForecastService::Replies ForecastService::TakeWaiters(const std::vector<std::string>& ids, std::int64_t now,
                                                      bool called) {
  Replies replies;
  for (const std::string& id : ids) {
    auto it = waiters_.find(id);
    if (it == waiters_.end()) continue;
    Answer a = AnswerFor(id, scheduler_.Entry(id), now);
    for (Waiter& w : it->second) {
      if (called) w.giveBack = nullptr;  // the allowance was spent on this call
      replies.emplace_back(std::move(w), a);
    }
    waiting_ -= it->second.size();
    waiters_.erase(it);
  }
  return replies;
}

void ForecastService::RememberServed(const std::vector<std::string>& ids, std::int64_t now) {
  std::vector<std::string> write;
  {
    std::lock_guard lock(worker_.mutex);
    for (const std::string& id : ids) {
      auto [it, added] = served_.try_emplace(id, now);
      if (added || now - it->second >= kServedRewrite) {
        it->second = now;
        write.push_back(id);
      }
    }
  }
  if (!write.empty() && !store_.readOnly() && !store_.SaveServedPlaces(write, now)) metrics_.Error("served_store");
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

std::vector<std::string> ForecastService::Fetch(const std::vector<std::string>& ids,
                                                const std::vector<Coordinates>& at, std::int64_t now,
                                                std::int64_t& deferredUntil) {
  std::vector<std::optional<CachedForecast>> results(ids.size());
  // Places already served spend the budget's reserve if they must; new ones only what is above
  // it. What fits goes now, the rest waits for the window that refused it.
  std::vector<char> served(ids.size());
  std::int64_t servedCount = 0;
  {
    std::lock_guard lock(worker_.mutex);
    for (std::size_t i = 0; i < ids.size(); ++i) {
      served[i] = Served(ids[i]);
      servedCount += served[i];
    }
  }
  const std::int64_t newCount = static_cast<std::int64_t>(ids.size()) - servedCount;
  std::int64_t openAt = CallBudget::kNever, newOpenAt = CallBudget::kNever;
  std::int64_t refreshes =
      servedCount == 0 ? 0 : gate_.TakeUpTo(servedCount, kPlaceWeightTenths, now, openAt, CallBudget::Use::Refresh);
  std::int64_t fresh = newCount == 0 ? 0 : gate_.TakeUpTo(newCount, kPlaceWeightTenths, now, newOpenAt, CallBudget::Use::New);
  if (fresh < newCount) metrics_.Refusal("budget_new_places");
  std::vector<std::size_t> go;  // indexes into ids
  std::vector<Coordinates> goAt;
  std::vector<std::string> deferred;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    std::int64_t& left = served[i] ? refreshes : fresh;
    if (left > 0) {
      --left;
      go.push_back(i);
      goAt.push_back(at[i]);
    } else {
      deferred.push_back(ids[i]);
    }
  }
  deferredUntil = std::min(openAt, newOpenAt);
  if (go.empty()) {
    metrics_.Upstream("forecast", "held_off", 0, 0);
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
  std::vector<std::string> fetched;
  {
    std::lock_guard lock(worker_.mutex);
    const std::int64_t done = clock_();
    for (std::size_t k : go) {
      if (!results[k]) metrics_.Error("forecast_place");
      if (results[k]) fetched.push_back(ids[k]);
      scheduler_.Complete(ids[k], std::move(results[k]), done);
    }
  }
  RememberServed(fetched, now);
  return deferred;
}

}  // namespace corvella::gateway
