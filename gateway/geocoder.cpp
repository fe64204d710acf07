#include "gateway/geocoder.h"

#include <algorithm>
#include <cstdio>

#include "gateway/place_matching.h"

namespace corvella::gateway {

namespace {
constexpr int kResultsAsked = 20;
constexpr std::int64_t kDefaultHoldOff = 60;
constexpr CallLimits kGeocodeLimits{1u << 20, false};  // a reply of 20 places is a few kilobytes
constexpr std::size_t kLoggedText = 200;
}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  for (; i < text.size() && out.size() < kLoggedText; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (i < text.size()) out += "...";
  return out;
}

void LogLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

std::int64_t SourceGate::TakeUpTo(std::int64_t count, std::int64_t tenthsEach, std::int64_t now,
                                  std::int64_t& openAt, CallBudget::Use use) {
  tenthsEach = std::max<std::int64_t>(tenthsEach, 1);
  std::int64_t taken = 0;
  CallBudget::Spent spent;
  std::uint64_t take = 0;
  {
    std::lock_guard lock(mutex_);
    if (now < heldOffUntil_) {
      openAt = heldOffUntil_;
      return 0;
    }
    const std::int64_t room = budget_.Room(now, use);
    taken = std::min(count, room > CallBudget::kNever / 20 ? count : room * 10 / tenthsEach);
    if (taken > 0) {
      budget_.Take((taken * tenthsEach + 9) / 10, now, use);
      spent = budget_.spent();
      take = ++taken_;
    }
    if (taken < count) openAt = budget_.AvailableAt((tenthsEach + 9) / 10, now, use);
  }
  // Written before the calls go out, so that a crash cannot forget them.
  std::lock_guard lock(saveMutex_);
  if (take > saved_ && save_) {
    save_(spent);
    saved_ = take;
  }
  return taken;
}

std::int64_t SourceGate::OpenAt(std::int64_t weight, std::int64_t now, CallBudget::Use use) {
  std::lock_guard lock(mutex_);
  return std::max(heldOffUntil_, budget_.AvailableAt(weight, now, use));
}

void SourceGate::HoldOff(std::int64_t until) {
  std::lock_guard lock(mutex_);
  if (until > heldOffUntil_) heldOffUntil_ = until;
}

std::optional<std::vector<GeocodeResult>> Geocoder::Search(const std::string& name, Result& result) {
  const std::int64_t now = clock_();
  if (!gate_.Take(1, now, result.retryAt, CallBudget::Use::New)) {
    result.error = "geocoding held off";
    return std::nullopt;
  }
  UpstreamReply reply = upstream_.Get(url_ + "?name=" + EscapeQueryValue(name) +
                                      "&count=" + std::to_string(kResultsAsked) + "&language=ru&format=json",
                                      kGeocodeLimits);
  if (reply.status == 429) {
    result.retryAt = now + (reply.retryAfter > 0 ? reply.retryAfter : kDefaultHoldOff);
    gate_.HoldOff(result.retryAt);
    result.error = "geocoder refused: 429";
    metrics_.Upstream("geocoding", "refused", reply.seconds);
    return std::nullopt;
  }
  std::string error;
  std::optional<std::vector<GeocodeResult>> results;
  if (reply.error.empty() && reply.status == 200) results = ReadGeocodeReply(reply.body, error);
  if (!results) {
    result.error = !reply.error.empty()  ? reply.error
                   : reply.status != 200 ? "geocoder answered " + std::to_string(reply.status)
                                         : Printable(error);
    result.retryAt = now + kDefaultHoldOff;
    metrics_.Upstream("geocoding", "failed", reply.seconds);
    LogLine("geocode: " + name + ": " + result.error);
    return std::nullopt;
  }
  metrics_.Upstream("geocoding", "ok", reply.seconds);
  return results;
}

Geocoder::Result Geocoder::Resolve(const CataloguePlace& place) {
  Result result;
  if ((result.place = store_.Find(place.feedId))) return result;
  auto found = Search(place.name, result);
  if (!found) return result;
  std::optional<PlaceChoice> choice = ChoosePlace(*found, place.name, place.region);
  StoredPlace stored;
  if (choice) {
    stored = {choice->inRegion ? GeocodeHow::Region : GeocodeHow::Country, choice->at};
  } else if (std::optional<std::string_view> centre = RegionCentre(place.region)) {
    std::optional<Coordinates> at = Centre(place.region, *centre, result);
    if (!result.error.empty()) return result;
    if (at) {
      stored = {GeocodeHow::Centre, *at};
      LogLine("geocode: " + place.feedId + " " + place.region + ", " + place.name + " not found; using " +
              std::string(*centre));
    }
  }
  if (stored.how == GeocodeHow::Nowhere) {
    LogLine("geocode: " + place.feedId + " " + place.region + ", " + place.name + " not found anywhere");
  }
  if (!store_.Save(place.feedId, stored)) metrics_.Error("geocode_store");
  result.place = stored;
  return result;
}

}  // namespace corvella::gateway

namespace corvella::gateway {

// A region's centre is looked up once: every unmatched place of the region shares it.
std::optional<Coordinates> Geocoder::Centre(const std::string& region, std::string_view centre, Result& result) {
  {
    std::lock_guard lock(centresMutex_);
    if (auto it = centres_.find(region); it != centres_.end()) return it->second;
  }
  auto found = Search(std::string(centre), result);
  if (!found) return std::nullopt;
  std::optional<PlaceChoice> c = ChoosePlace(*found, centre, region);
  if (!c) return std::nullopt;
  std::lock_guard lock(centresMutex_);
  centres_[region] = c->at;
  return c->at;
}

bool Geocoder::ResolveLater(const CataloguePlace& place, Done done) {
  std::lock_guard lock(queueMutex_);
  if (stopping_) return false;
  if (queued_.count(place.feedId)) return true;
  if (queue_.size() >= kQueued) return false;
  if (workers_.empty()) {
    for (int i = 0; i < kWorkers; ++i) workers_.emplace_back([this] { Work(); });
  }
  queued_.insert(place.feedId);
  queue_.push_back({&place, std::move(done), std::chrono::steady_clock::now()});
  queueWake_.notify_one();
  return true;
}

void Geocoder::Work() {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    queueWake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Queued q = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const CataloguePlace* place = q.place;
    Result r;
    if (std::chrono::steady_clock::now() - q.since > kLongestWait) {
      r.error = "waited too long for the geocoder";
      r.retryAt = clock_();
    } else {
      r = Resolve(*place);
    }
    lock.lock();
    queued_.erase(place->feedId);
    if (stopping_) return;
    lock.unlock();
    q.done(*place, r);
    lock.lock();
  }
}

void Geocoder::StopWorkers() {
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(queueMutex_);
    stopping_ = true;
    queue_.clear();
    workers.swap(workers_);
  }
  queueWake_.notify_all();
  for (std::thread& t : workers) t.join();
}

}  // namespace corvella::gateway
