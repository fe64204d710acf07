#include "retrieval/cookie_jar.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "retrieval/http_date.h"
#include "retrieval/http_limits.h"
#include "retrieval/http_text.h"
#include "retrieval/socket.h"

namespace corvella {
namespace {

using namespace http_text;

// Control characters would break the Cookie header line they are later sent in.
bool HasControl(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
  });
}

// Max-Age in seconds: an optional "-" and digits; large values saturate.
std::optional<long long> ParseMaxAge(std::string_view text) {
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (value < LLONG_MAX / 100) value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::string DefaultPath(std::string_view requestPath) {
  std::size_t last = requestPath.rfind('/');
  if (requestPath.empty() || requestPath[0] != '/' || last == 0) return "/";
  return std::string(requestPath.substr(0, last));
}

}  // namespace

bool DomainMatches(std::string_view host, std::string_view domain) {
  if (domain.empty() || host.size() < domain.size()) return false;
  if (!EqualsNoCase(host.substr(host.size() - domain.size()), domain)) return false;
  return host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
}

std::optional<Cookie> ParseSetCookie(std::string_view header, std::string_view requestHost,
                                     std::string_view requestPath, DateTime nowUtc) {
  std::size_t semi = header.find(';');
  std::string_view pair = header.substr(0, semi);
  std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  Cookie cookie;
  std::string_view name = Trim(pair.substr(0, eq));
  std::string_view value = Trim(pair.substr(eq + 1));
  if (name.empty() || HasControl(name) || HasControl(value) || name.find(' ') != std::string_view::npos)
    return std::nullopt;
  if (name.size() + value.size() > http_limits::kMaxCookieBytes) return std::nullopt;
  cookie.name.assign(name);
  cookie.value.assign(value);

  std::optional<long long> maxAge;
  std::string_view attributes = semi == std::string_view::npos ? std::string_view{} : header.substr(semi + 1);
  while (!attributes.empty()) {
    std::size_t next = attributes.find(';');
    std::string_view attribute = attributes.substr(0, next);
    attributes = next == std::string_view::npos ? std::string_view{} : attributes.substr(next + 1);
    std::size_t aeq = attribute.find('=');
    std::string_view key = Trim(attribute.substr(0, aeq));
    std::string_view val = aeq == std::string_view::npos ? std::string_view{} : Trim(attribute.substr(aeq + 1));
    if (EqualsNoCase(key, "domain")) {
      while (!val.empty() && val.front() == '.') val.remove_prefix(1);
      if (!val.empty()) cookie.domain = Lower(val);
    } else if (EqualsNoCase(key, "path")) {
      if (!val.empty() && val.front() == '/' && !HasControl(val)) cookie.path.assign(val);
    } else if (EqualsNoCase(key, "expires")) {
      if (auto when = ParseHttpDate(val)) cookie.expiresUtc = *when;
    } else if (EqualsNoCase(key, "max-age")) {
      if (auto seconds = ParseMaxAge(val)) maxAge = *seconds;
    }
  }
  if (maxAge) {
    // Max-Age wins over Expires; zero or less means "remove now".
    cookie.expiresUtc = *maxAge <= 0 ? nowUtc - 1 : nowUtc + static_cast<double>(*maxAge) / 86400.0;
  }

  std::string host = Lower(requestHost);
  if (cookie.domain.empty()) {
    cookie.domain = host;
  } else {
    if (!DomainMatches(host, cookie.domain)) return std::nullopt;
    // A domain of one label ("example") or a part of a numeric address would reach
    // unrelated hosts.
    if (cookie.domain != host && (cookie.domain.find('.') == std::string::npos || IsNumericHost(host)))
      return std::nullopt;
  }
  if (cookie.domain.empty()) return std::nullopt;
  if (cookie.path.empty()) cookie.path = DefaultPath(requestPath);
  return cookie;
}

void CookieJar::Store(Cookie cookie, DateTime nowUtc) {
  auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
    return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
  });
  bool expired = cookie.expiresUtc && *cookie.expiresUtc <= nowUtc;
  if (same != cookies_.end()) {
    if (expired) {
      cookies_.erase(same);
    } else {
      cookie.order = same->order;
      *same = std::move(cookie);
    }
    return;
  }
  if (expired) return;
  cookie.order = next_++;
  std::string domain = cookie.domain;
  cookies_.push_back(std::move(cookie));
  auto perDomain = static_cast<std::size_t>(
      std::count_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) { return c.domain == domain; }));
  if (perDomain > http_limits::kMaxCookiesPerDomain) EvictOldest(domain);
  if (cookies_.size() > http_limits::kMaxCookies) EvictOldest({});
}

void CookieJar::EvictOldest(std::string_view domain) {
  auto oldest = cookies_.end();
  for (auto it = cookies_.begin(); it != cookies_.end(); ++it) {
    if (!domain.empty() && it->domain != domain) continue;
    if (oldest == cookies_.end() || it->order < oldest->order) oldest = it;
  }
  if (oldest != cookies_.end()) cookies_.erase(oldest);
}

void CookieJar::DropExpired(DateTime nowUtc) {
  std::erase_if(cookies_, [&](const Cookie& c) { return c.expiresUtc && *c.expiresUtc <= nowUtc; });
}

std::string CookieJar::HeaderFor(std::string_view host, std::string_view path) const {
  std::vector<const Cookie*> due;
  for (const Cookie& c : cookies_) {
    if (!c.value.empty() && DomainMatches(host, c.domain) && path.substr(0, c.path.size()) == c.path)
      due.push_back(&c);
  }
  std::stable_sort(due.begin(), due.end(), [](const Cookie* a, const Cookie* b) {
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    return a->order < b->order;
  });
  std::string out;
  for (const Cookie* c : due) {
    if (!out.empty()) out += "; ";
    out += c->name;
    out += '=';
    out += c->value;
  }
  return out;
}

}  // namespace corvella
