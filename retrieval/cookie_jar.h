// The client's in-memory cookie jar: bounded, domain-matched.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date_time.h"

namespace corvella {

struct Cookie {
  std::string name, value;
  std::string domain;                 // lower case, without a leading "."
  std::string path;                   // begins with "/"
  std::optional<DateTime> expiresUtc;  // none: lives as long as the jar
  unsigned long long order = 0;        // when it was stored, for ordering and eviction
};

// Reads one Set-Cookie / Set-Cookie2 value as sent by `requestHost` for `requestPath`.
// Nothing when the header is unusable or its domain does not match the host.
// `nowUtc` turns Max-Age into an expiry.
std::optional<Cookie> ParseSetCookie(std::string_view header, std::string_view requestHost,
                                     std::string_view requestPath, DateTime nowUtc);

// True when `host` equals `domain` or ends with "." + domain (case-insensitive).
bool DomainMatches(std::string_view host, std::string_view domain);

class CookieJar {
 public:
  // Stores (or replaces, or with an expiry in the past removes) a cookie.
  void Store(Cookie cookie, DateTime nowUtc);
  // Drops the cookies whose expiry has passed.
  void DropExpired(DateTime nowUtc);
  // The Cookie header value for a request, "" when no cookie is due.
  std::string HeaderFor(std::string_view host, std::string_view path) const;

  std::size_t size() const { return cookies_.size(); }
  const std::vector<Cookie>& cookies() const { return cookies_; }

 private:
  void EvictOldest(std::string_view domain);
  std::vector<Cookie> cookies_;
  unsigned long long next_ = 0;
};

}  // namespace corvella
