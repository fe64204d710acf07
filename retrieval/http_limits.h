// Every resource limit and wait of the HTTP client and its decoders, in one place.
#pragma once

#include <cstddef>

namespace corvella::http_limits {

// A status or header line longer than this fails the request.
inline constexpr std::size_t kMaxLineLength = 16384;
// All status and header lines of one exchange (interim responses included) together;
// a server sending header lines without end is cut off here.
inline constexpr std::size_t kMaxHeadBytes = 256 * 1024;
// Exchanges per request: at most kRedirectMaximum - 1 redirects are followed.
inline constexpr int kRedirectMaximum = 15;
// A redirect body is drained with each wait limited to this.
inline constexpr int kRedirectDrainMs = 4000;
// An error body is read with each wait limited to this.
inline constexpr int kErrorBodyWaitMs = 2000;
// A socket wait is cut into slices of this length; the message pump runs after each, so
// this is the longest time between two pumps (on Windows a window message ends a slice).
inline constexpr int kIdleSliceMs = 250;
// The GUI thread waits for the connect thread in slices of this length (ended early, as
// above, by a window message).
inline constexpr int kConnectSliceMs = 125;
// Name lookup and connect together must finish within this.
inline constexpr int kConnectLimitMs = 120000;
// A read that receives nothing for this long fails.
inline constexpr int kReadTimeoutMs = 60000;
// One whole request (lookup, connect, every redirect and the whole response) must end within
// this, so that a server trickling a byte now and then cannot hold the refresh pass for hours.
inline constexpr int kRequestLimitMs = 5 * 60 * 1000;
// Largest body kept (success, error or drained redirect body).
inline constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;
// Bytes asked of the socket per read.
inline constexpr std::size_t kRecvBufferSize = 16 * 1024;

// Cookie jar bounds.
inline constexpr std::size_t kMaxCookies = 300;
inline constexpr std::size_t kMaxCookiesPerDomain = 50;
// Name plus value of one cookie; a larger one is ignored.
inline constexpr std::size_t kMaxCookieBytes = 4096;

}  // namespace corvella::http_limits
