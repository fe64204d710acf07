#include "gateway/routing.h"

#include <curl/curl.h>

#include <map>
#include <memory>
#include <optional>

#include "gateway/place_catalogue.h"
#include "retrieval/servers.h"

namespace corvella::gateway {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool Ours(std::string_view host, const std::vector<std::string>& hosts) {
  for (const std::string& h : hosts) {
    if (SameText(h, host)) return true;
  }
  return false;
}

// A Host field names one of ours, with or without a port.
bool OurHostField(std::string_view field, const std::vector<std::string>& hosts) {
  std::size_t colon = field.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view port = field.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    field = field.substr(0, colon);
  }
  return Ours(field, hosts);
}

// The target split by libcurl's URL parser: the authority of an absolute form, path and query.
struct Target {
  bool absolute = false;
  bool foreignAuthority = false;  // user information, or a port other than 80
  std::string host, path, query;
};

std::optional<Target> SplitTarget(std::string_view target) {
  std::unique_ptr<CURLU, void (*)(CURLU*)> u(curl_url(), curl_url_cleanup);
  if (!u) return std::nullopt;
  Target t;
  t.absolute = target.size() > 7 && SameText(target.substr(0, 7), "http://");
  if (!t.absolute && (target.empty() || target[0] != '/')) return std::nullopt;
  std::string url = t.absolute ? std::string(target) : "http://origin" + std::string(target);
  if (curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
  auto part = [&](CURLUPart p) {
    char* s = nullptr;
    std::string out;
    if (curl_url_get(u.get(), p, &s, 0) == CURLUE_OK && s) out = s;
    curl_free(s);
    return out;
  };
  t.path = part(CURLUPART_PATH);
  t.query = part(CURLUPART_QUERY);
  if (t.absolute) {
    t.host = part(CURLUPART_HOST);
    const std::string port = part(CURLUPART_PORT);
    t.foreignAuthority = !part(CURLUPART_USER).empty() || !(port.empty() || port == "80");
  }
  return t;
}

RouteDecision Refuse(unsigned status, std::string_view text, std::string_view label = "other") {
  RouteDecision d;
  d.status = status;
  d.text = text;
  d.label = label;
  return d;
}

RouteDecision To(Destination to, std::string_view label) {
  RouteDecision d;
  d.to = to;
  d.label = label;
  return d;
}

}  // namespace

std::string FeedIdFromQuery(std::string_view query) {
  std::map<std::string, std::string, std::less<>> keys;
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    std::size_t eq = pair.find('=');
    if (eq == std::string_view::npos) return {};
    int length = 0;
    std::string raw(pair.substr(eq + 1));
    char* v = curl_easy_unescape(nullptr, raw.c_str(), static_cast<int>(raw.size()), &length);
    if (!v) return {};
    std::string value(v, static_cast<std::size_t>(length));
    curl_free(v);
    if (!keys.emplace(std::string(pair.substr(0, eq)), value).second) return {};
  }
  auto is = [&](const char* key, std::string_view want) {
    auto it = keys.find(key);
    return it != keys.end() && it->second == want;
  };
  if (!is("api_lang", "ru") || !is("v", "2") || !is("h", "1") || !keys.count("affiliate_id")) return {};
  auto id = keys.find("localidad");
  if (id == keys.end() || !IsFeedId(id->second)) return {};
  return id->second;
}

RouteDecision Route(const RouteRequest& r, const std::vector<std::string>& hosts) {
  if (r.method == Method::Connect) return Refuse(403, "not served here\n");
  if (r.method == Method::Other) return Refuse(405, "not served here\n");
  if (r.hostFields.size() > 1 || (r.version >= 11 && r.hostFields.empty())) {
    return Refuse(400, "one Host field is needed\n");
  }
  std::optional<Target> t = SplitTarget(r.target);
  if (!t) return Refuse(400, "bad request target\n");
  if (t->absolute) {
    // The client's proxy form: the target names the host, and only ours on port 80 are served.
    if (t->foreignAuthority || !Ours(t->host, hosts)) {
      return Refuse(403, "this server is not a proxy\n", "proxy_refused");
    }
  } else if (r.localPeer && (t->path == "/healthz" || t->path == "/metrics")) {
    // This machine's own checks, under whatever name it uses for itself.
    return t->path == "/healthz" ? To(Destination::Health, "healthz") : To(Destination::Metrics, "metrics");
  } else if (r.hostFields.empty() || !OurHostField(r.hostFields.front(), hosts)) {
    return Refuse(r.hostFields.empty() ? 400 : 403, "this host is not served here\n", "host_refused");
  }
  if (t->path == kFeedRequestPath) {
    RouteDecision d = To(Destination::Feed, "feed");
    d.feedId = FeedIdFromQuery(t->query);
    if (d.feedId.empty()) {
      d.to = Destination::Refused;
      d.status = 400;
      d.text = "malformed feed query\n";
    }
    return d;
  }
  if (t->path == kRatesRequestPath) return To(Destination::Rates, "rates");
  if (t->path == kUpdateRequestPath) return To(Destination::Update, "update");
  return Refuse(404, "not found\n");
}

}  // namespace corvella::gateway
