// Choosing a catalogue place's coordinates among the geocoder's answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/place_forecast.h"

namespace corvella::gateway {

struct GeocodeResult {
  std::string name, admin1, countryCode;
  std::int64_t population = 0;
  Coordinates at;
};

// The results of a search reply; an empty list when nothing matched (the reply then has no
// "results" at all). Empty, with `error` set, when the body is not a search reply.
std::optional<std::vector<GeocodeResult>> ReadGeocodeReply(std::string_view body, std::string& error);

// Whether the geocoder's first-level division names the catalogue's region: words such as
// "Республика", "область", "край" are ignored, and the two may differ in their endings
// ("Чувашия" and "Чувашская Республика", "Кемеровская область" and "Кемеровская область — Кузбасс").
bool SameRegion(std::string_view catalogueRegion, std::string_view admin1);

// The place named `name` in `region`: a result of that name in that region, the most populous
// one when several; failing that the most populous result of that name in Russia.
struct PlaceChoice {
  Coordinates at;
  bool inRegion = false;
};
std::optional<PlaceChoice> ChoosePlace(const std::vector<GeocodeResult>& results, std::string_view name,
                                       std::string_view region);

// The administrative centre of a catalogue region, the last resort for a place the geocoder
// does not know; empty for an unknown region.
std::optional<std::string_view> RegionCentre(std::string_view region);

}  // namespace corvella::gateway
