// Requests to the public sources, over libcurl: HTTPS with the system's CA store plus an optional
// extra CA file, time-outs, and for each call a cap on the body and whether redirects are followed
// (never for calls that carry the API key: a redirect would hand it to another host).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corvella::gateway {

struct UpstreamReply {
  long status = 0;  // 0 when no HTTP answer came
  std::string body;
  std::string error;             // transport failure, or the body cap exceeded
  std::int64_t retryAfter = -1;  // seconds, from Retry-After
  double seconds = 0;
};

struct UpstreamOptions {
  std::string caFile;  // added to the system's CA store
  long connectTimeoutSeconds = 5;
  long timeoutSeconds = 30;
};

// What one call may take: a longer body ends it with an error, and a redirect is answered as
// the redirect's own status unless following is allowed.
struct CallLimits {
  std::size_t maxBody = 1u << 20;
  bool followRedirects = false;
};

class Upstream {
 public:
  virtual ~Upstream() = default;
  virtual UpstreamReply Get(const std::string& url, CallLimits limits) = 0;
  // A form POST, for long batches of places.
  virtual UpstreamReply Post(const std::string& url, const std::string& form, CallLimits limits) = 0;
  // Ends every call under way and every later one at once (on shutdown).
  virtual void Abort() = 0;
};

std::unique_ptr<Upstream> MakeCurlUpstream(const UpstreamOptions& options);

// Percent-encodes a query value.
std::string EscapeQueryValue(const std::string& value);

}  // namespace corvella::gateway
