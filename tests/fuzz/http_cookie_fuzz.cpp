// The cookie parser and jar: the input is a request host and Set-Cookie values, one a
// line. Nothing that comes back may break the Cookie header line or the jar's bounds.
#include <cstdlib>
#include <string_view>

#include "retrieval/cookie_jar.h"
#include "retrieval/http_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace corvella;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t newline = text.find('\n');
  std::string_view host = text.substr(0, newline);
  CookieJar jar;
  const DateTime now = 45000;
  while (newline != std::string_view::npos) {
    text = text.substr(newline + 1);
    newline = text.find('\n');
    if (auto cookie = ParseSetCookie(text.substr(0, newline), host, "/a/b", now)) {
      if (!DomainMatches(host, cookie->domain)) std::abort();
      jar.Store(*cookie, now);
    }
  }
  jar.DropExpired(now);
  if (jar.size() > http_limits::kMaxCookies) std::abort();
  std::string header = jar.HeaderFor(host, "/a/b/c");
  for (char c : header) {
    if (static_cast<unsigned char>(c) < 0x20) std::abort();
  }
  return 0;
}
