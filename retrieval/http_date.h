// HTTP dates in the three forms servers send: RFC 1123 ("Sun, 06 Nov 1994 08:49:37 GMT"),
// RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT") and asctime ("Sun Nov  6 08:49:37 1994"),
// each optionally followed by a numeric zone ("+0300").
#pragma once

#include <optional>
#include <string_view>

#include "common/date_time.h"

namespace corvella {

// The moment as UTC, or nothing when the text is not such a date.
std::optional<DateTime> ParseHttpDate(std::string_view text);

}  // namespace corvella
