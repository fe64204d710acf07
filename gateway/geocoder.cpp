#include "gateway/geocoder.h"

#include <cstdio>

#include "gateway/place_matching.h"

namespace corvella::gateway {

namespace {
constexpr int kResultsAsked = 20;
constexpr std::int64_t kDefaultHoldOff = 60;
}  // namespace

void LogLine(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

bool SourceGate::Take(std::int64_t weight, std::int64_t now, std::int64_t& openAt) {
  std::lock_guard lock(mutex_);
  if (now < heldOffUntil_) {
    openAt = heldOffUntil_;
    return false;
  }
  if (!budget_.Take(weight, now)) {
    openAt = budget_.AvailableAt(weight, now);
    return false;
  }
  return true;
}

void SourceGate::HoldOff(std::int64_t until) {
  std::lock_guard lock(mutex_);
  if (until > heldOffUntil_) heldOffUntil_ = until;
}

std::optional<std::vector<GeocodeResult>> Geocoder::Search(const std::string& name, Result& result) {
  const std::int64_t now = clock_();
  if (!gate_.Take(1, now, result.retryAt)) {
    result.error = "geocoding held off";
    return std::nullopt;
  }
  UpstreamReply reply = upstream_.Get(url_ + "?name=" + EscapeQueryValue(name) +
                                      "&count=" + std::to_string(kResultsAsked) + "&language=ru&format=json");
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
                                         : error;
    result.retryAt = now + kDefaultHoldOff;
    metrics_.Upstream("geocoding", "failed", reply.seconds);
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
    auto centres = Search(std::string(*centre), result);
    if (!centres) return result;
    if (std::optional<PlaceChoice> c = ChoosePlace(*centres, *centre, place.region)) {
      stored = {GeocodeHow::Centre, c->at};
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
