// What a request asks for, decided from its method, target, Host fields and peer alone: one of
// the documents the gateway serves, or a refusal with its status. No I/O happens here; the HTTP
// front reads the request, asks Route() and sends what it names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvella::gateway {

enum class Method { Get, Head, Connect, Other };

struct RouteRequest {
  Method method = Method::Get;
  std::string_view target;
  std::vector<std::string_view> hostFields;  // every Host field, in order
  unsigned version = 11;                     // 10 or 11
  bool localPeer = false;                    // the client is this machine (loopback, not forwarded)
};

enum class Destination { Feed, Rates, Update, Health, Metrics, Refused };

struct RouteDecision {
  Destination to = Destination::Refused;
  unsigned status = 200;   // the refusal's status
  std::string_view text;   // the refusal's body
  std::string_view label;  // the route's name in /metrics
  std::string feedId;      // for the feed
};

// `hosts` are the names served (the feed, rates and site hosts), compared without case.
RouteDecision Route(const RouteRequest& request, const std::vector<std::string>& hosts);

// The feed query: every key once, api_lang=ru, v=2, h=1, an affiliate and a numeric place id.
// Returns the place id, or "" when the query is not the client's.
std::string FeedIdFromQuery(std::string_view query);

}  // namespace corvella::gateway
