// Requests to the public sources, over libcurl: HTTPS with the system's CA store plus an optional
// extra CA file, time-outs, a cap on the body, redirects followed.
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
  std::size_t maxBody = 64u << 20;
};

class Upstream {
 public:
  virtual ~Upstream() = default;
  virtual UpstreamReply Get(const std::string& url) = 0;
  // A form POST, for long batches of places.
  virtual UpstreamReply Post(const std::string& url, const std::string& form) = 0;
  // Ends every call under way and every later one at once (on shutdown).
  virtual void Abort() = 0;
};

std::unique_ptr<Upstream> MakeCurlUpstream(const UpstreamOptions& options);

// Percent-encodes a query value.
std::string EscapeQueryValue(const std::string& value);

}  // namespace corvella::gateway
