// Host names of the outside servers the program talks to. They are fixed when the program
// is configured (CMake cache variables CORVELLA_FEED_HOST, CORVELLA_RATES_HOST and
// CORVELLA_SITE_HOST), so a test build can point them anywhere; link `corvella_servers`.
#pragma once

#include <string_view>

#if !defined(CORVELLA_FEED_HOST) || !defined(CORVELLA_RATES_HOST) || !defined(CORVELLA_SITE_HOST)
#error "server host names are not configured: link the corvella_servers target"
#endif

namespace corvella {

// The weather feed (forecast documents).
inline constexpr std::string_view kFeedHost = CORVELLA_FEED_HOST;
// The national bank's daily rates page.
inline constexpr std::string_view kRatesHost = CORVELLA_RATES_HOST;
// The maker's web site: the update file and the pages opened in the browser.
inline constexpr std::string_view kSiteHost = CORVELLA_SITE_HOST;

// The paths of the documents asked for there (and served by the stand-ins in tests).
// The forecast document, with its query after it.
inline constexpr std::string_view kFeedRequestPath = "/index.php";
// The daily rates page.
inline constexpr std::string_view kRatesRequestPath = "/currency_base/daily/";
// The update file, whose Last-Modified tells of a newer version.
inline constexpr std::string_view kUpdateRequestPath = "/soft/corv.exe";

}  // namespace corvella
