// The weather feed document the client reads for one place: hour blocks in the place's local
// time from the current hour on, the days from today on, and the data's attribution.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gateway/place_forecast.h"

namespace corvella::gateway {

inline constexpr int kFeedHours = 24;    // every HH once, the first one the current hour
inline constexpr int kFeedDays = 7;      // today and the six days after it
inline constexpr int kFeedDaysRead = 3;  // today, tomorrow and the day after: what the client reads

// The document at `nowUtc`, UTF-8: the place's UTC offset on its location element, the days with
// their sky (where the source gave a known code), their precipitation and wind, then the hours
// with their feels-like, wind, pressure (mm Hg), humidity and precipitation after the sky. A value
// the source left out is left out of the document, alone. Where the forecast runs out
// (a model's range ends) the document has fewer hours or days; it is empty when the current hour
// or one of the first three days is missing, or an hour holds a weather code without words: a
// document with a gap would have the client read another block's values.
std::optional<std::string> RenderFeedDocument(const PlaceForecast& forecast, std::string_view feedId,
                                              std::int64_t nowUtc);

// The start of the local hour that holds `nowUtc`, as a UTC instant: the document rendered at
// any moment of that hour is the same.
std::int64_t LocalHourStart(const PlaceForecast& forecast, std::int64_t nowUtc);

}  // namespace corvella::gateway
