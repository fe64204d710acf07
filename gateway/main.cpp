// corvella-gateway: serves the weather feed, the rates page and the update file from public
// sources, or (`geocode --all`) warms the geocode store for the whole catalogue.
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "gateway/admission.h"
#include "gateway/geocoder.h"
#include "gateway/http_front.h"
#include "gateway/services.h"
#include "retrieval/servers.h"

namespace corvella::gateway {
namespace {

constexpr const char* kForecastUrl = "https://api.open-meteo.com/v1/forecast";
constexpr const char* kCustomerForecastUrl = "https://customer-api.open-meteo.com/v1/forecast";
constexpr const char* kGeocodingUrl = "https://geocoding-api.open-meteo.com/v1/search";
constexpr const char* kRatesUrl = "https://www.cbr.ru/scripts/XML_daily.asp";
constexpr int kBadConfiguration = 2;  // restarting will not mend it
constexpr int kCannotListen = 3;      // the port is taken, or the address not up yet: try again

constexpr const char* kUsage =
    "usage: corvella-gateway [geocode --all] [--listen 127.0.0.1:8080] [--forecast-url URL]\n"
    "         [--geocoding-url URL] [--rates-url URL] [--api-key-file PATH] [--ca-file PEM] [--db PATH]\n"
    "         [--release-dir DIR] [--catalogue PATH] [--fresh-seconds 3600] [--stale-seconds 21600]\n"
    "         [--cache-places 10000] [--gather-ms 50] [--timeout 30] [--threads 2]\n"
    "         [--max-client-connections 256] [--daily-calls 10000] [--client-new-places 30]\n"
    "         [--answer-seconds 5] [--trusted-proxy ADDRESS]...\n";

struct Config {
  bool geocodeAll = false;
  FrontOptions front;
  std::string forecastUrl, geocodingUrl = kGeocodingUrl, ratesUrl = kRatesUrl, apiKey, caFile;
  std::string db = "corvella-gateway.sqlite";
  std::string catalogue = CORVELLA_GATEWAY_CATALOGUE;
  ForecastPolicy policy;
  long timeoutSeconds = 30;
  int gatherMilliseconds = 50;
  std::int64_t dailyCalls = 0;  // 0: the free tier's, or none with a key
};

struct BadConfig : std::runtime_error {
  using std::runtime_error::runtime_error;
};

long Number(const std::string& flag, const std::string& v, long lo, long hi) {
  std::size_t used = 0;
  long n = 0;
  try {
    n = std::stol(v, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != v.size() || v.empty() || n < lo || n > hi) {
    throw BadConfig(flag + " takes a number from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return n;
}

std::string ReadFile(const std::string& what, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  if (in) s << in.rdbuf();
  if (!in || in.bad()) throw BadConfig("cannot read " + what + " " + path);
  return s.str();
}

// The provider's key from a file of its own (one line; the key itself is never printed).
std::string ApiKeyFrom(const std::string& path) {
  std::string key = ReadFile("API key file", path);
  while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
  if (key.empty() || key.size() > 256 || key.find_first_of(" \t\r\n") != std::string::npos) {
    throw BadConfig("the API key file " + path + " must hold the key alone on one line");
  }
  return key;
}

Config Parse(int argc, char** argv) {
  Config c;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::size_t i = 0;
  if (!args.empty() && args[0] == "geocode") {
    if (args.size() < 2 || args[1] != "--all") throw BadConfig("geocode takes --all");
    c.geocodeAll = true;
    i = 2;
  }
  for (; i < args.size(); i += 2) {
    const std::string& flag = args[i];
    if (flag == "--help" || flag == "-h") throw BadConfig("");
    if (i + 1 >= args.size()) throw BadConfig(flag + " needs a value, or is unknown");
    const std::string& v = args[i + 1];
    if (flag == "--listen") {
      std::size_t colon = v.rfind(':');
      if (colon == std::string::npos || colon == 0) throw BadConfig("--listen takes ADDRESS:PORT");
      c.front.address = v.substr(0, colon);
      if (c.front.address.size() > 2 && c.front.address.front() == '[' && c.front.address.back() == ']') {
        c.front.address = c.front.address.substr(1, c.front.address.size() - 2);
      }
      c.front.port = static_cast<unsigned short>(Number("--listen's port", v.substr(colon + 1), 1, 65535));
      if (!ValidAddress(c.front.address)) throw BadConfig("--listen takes an IP address and a port");
    } else if (flag == "--forecast-url") {
      c.forecastUrl = v;
    } else if (flag == "--geocoding-url") {
      c.geocodingUrl = v;
    } else if (flag == "--rates-url") {
      c.ratesUrl = v;
    } else if (flag == "--api-key") {  // kept for old scripts: the key shows in the process list
      c.apiKey = v;
    } else if (flag == "--api-key-file") {
      c.apiKey = ApiKeyFrom(v);
    } else if (flag == "--ca-file") {
      c.caFile = v;
    } else if (flag == "--db") {
      c.db = v;
    } else if (flag == "--release-dir") {
      c.front.releaseDir = v;
    } else if (flag == "--catalogue") {
      c.catalogue = v;
    } else if (flag == "--fresh-seconds") {
      c.policy.freshSeconds = Number(flag, v, 1, 86400);
    } else if (flag == "--stale-seconds") {
      c.policy.staleLimitSeconds = Number(flag, v, 1, 7 * 86400);
    } else if (flag == "--gather-ms") {
      c.gatherMilliseconds = static_cast<int>(Number(flag, v, 0, 10'000));
    } else if (flag == "--timeout") {
      c.timeoutSeconds = Number(flag, v, 1, 600);
    } else if (flag == "--cache-places") {
      c.policy.capacity = static_cast<std::size_t>(Number(flag, v, 1, 10'000'000));
    } else if (flag == "--max-client-connections") {
      c.front.maxConnectionsPerClient = static_cast<std::size_t>(Number(flag, v, 1, 100'000));
    } else if (flag == "--daily-calls") {
      c.dailyCalls = Number(flag, v, 10, 100'000'000);
    } else if (flag == "--client-new-places") {
      c.front.newPlacesPerClient = static_cast<double>(Number(flag, v, 1, 1'000'000));
    } else if (flag == "--answer-seconds") {
      c.front.answerSeconds = static_cast<int>(Number(flag, v, 1, 600));
    } else if (flag == "--trusted-proxy") {
      if (!ValidAddress(v)) throw BadConfig("--trusted-proxy takes an IP address");
      c.front.trustedProxies.push_back(v);
    } else if (flag == "--threads") {
      c.front.threads = static_cast<int>(Number(flag, v, 1, 256));
    } else {
      throw BadConfig("unknown option " + flag);
    }
  }
  for (const std::string* url : {&c.forecastUrl, &c.geocodingUrl, &c.ratesUrl}) {
    if (!url->empty() && url->rfind("http://", 0) != 0 && url->rfind("https://", 0) != 0) {
      throw BadConfig("not an http(s) URL: " + *url);
    }
  }
  // systemd's LoadCredential=api-key:PATH
  const char* credentials = std::getenv("CREDENTIALS_DIRECTORY");
  if (c.apiKey.empty() && credentials && *credentials) {
    const std::string path = std::string(credentials) + "/api-key";
    if (std::ifstream(path)) c.apiKey = ApiKeyFrom(path);
  }
  // Busy places are refreshed in sweeps a twelfth of the freshness apart, at most five minutes.
  c.policy.sweepSeconds = std::clamp<std::int64_t>(c.policy.freshSeconds / 12, 1, 300);
  if (c.forecastUrl.empty()) c.forecastUrl = c.apiKey.empty() ? kForecastUrl : kCustomerForecastUrl;
  if (!c.caFile.empty() &&
      ReadFile("CA file", c.caFile).find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
    throw BadConfig("no certificate in CA file " + c.caFile);
  }
  if (!c.front.releaseDir.empty()) {
    std::ifstream probe(c.front.releaseDir);
    if (!probe) throw BadConfig("cannot read release folder " + c.front.releaseDir);
  }
  c.front.hosts = {std::string(kFeedHost), std::string(kRatesHost), std::string(kSiteHost)};
  return c;
}

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

volatile std::sig_atomic_t gStop = 0;

// Looks up every catalogue place the store lacks, within the provider's limits, printing progress;
// stopped (SIGINT, SIGTERM) and started again it carries on where it was.
int GeocodeAll(const PlaceCatalogue& catalogue, Geocoder& geocoder, GeocodeStore& store) {
  std::signal(SIGINT, [](int) { gStop = 1; });
  std::signal(SIGTERM, [](int) { gStop = 1; });
  const std::size_t total = catalogue.places().size();
  std::size_t done = 0, looked = 0, nowhere = 0;
  std::fprintf(stderr, "geocode: %zu of %zu places already stored\n", store.Count(), total);
  for (const CataloguePlace& place : catalogue.places()) {
    if (gStop) break;
    if (geocoder.Stored(place.feedId)) {
      ++done;
      continue;
    }
    for (;;) {
      Geocoder::Result r = geocoder.Resolve(place);
      if (r.place) {
        ++looked;
        nowhere += r.place->how == GeocodeHow::Nowhere;
        break;
      }
      std::int64_t wait = std::max<std::int64_t>(r.retryAt - Now(), 1);
      std::fprintf(stderr, "geocode: %s; waiting %lld s\n", r.error.c_str(), static_cast<long long>(wait));
      for (std::int64_t s = 0; s < wait && !gStop; ++s) std::this_thread::sleep_for(std::chrono::seconds(1));
      if (gStop) break;
    }
    ++done;
    if (looked % 50 == 0 || done == total) {
      std::fprintf(stderr, "geocode: %zu/%zu (%zu looked up now, %zu not found)\n", done, total, looked,
                   nowhere);
    }
  }
  std::fprintf(stderr, "geocode: %s at %zu/%zu; %zu looked up, %zu not found\n",
               gStop ? "stopped" : "finished", done, total, looked, nowhere);
  return gStop ? 1 : 0;
}

int Main(int argc, char** argv) {
  Config c;
  std::optional<PlaceCatalogue> catalogue;
  std::unique_ptr<GeocodeStore> store;
  try {
    c = Parse(argc, argv);
    catalogue = PlaceCatalogue::FromText(ReadFile("catalogue", c.catalogue));
    if (catalogue->places().empty()) throw BadConfig("no places in catalogue " + c.catalogue);
    store = GeocodeStore::OpenAnyway(c.db, LogLine);
  } catch (const BadConfig& e) {
    std::fprintf(stderr, "%s",
                 e.what()[0] ? (std::string("corvella-gateway: ") + e.what() + "\n").c_str() : kUsage);
    return kBadConfiguration;
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "corvella-gateway: %s\n", e.what());
    return kBadConfiguration;
  }

  Metrics metrics;
  std::unique_ptr<Upstream> upstream =
      MakeCurlUpstream({c.caFile, std::min(5L, c.timeoutSeconds), c.timeoutSeconds});
  // The free tier's limits; with a key only the daily one, when given. Geocoding goes to the
  // free host either way, within the free tier's limits. What each has spent is kept in the
  // store, written once for each batch of calls, so that a restart does not start afresh.
  auto persisted = [&store](const char* name, CallBudget budget) {
    if (std::optional<CallBudget::Spent> spent = store->LoadSpentCalls(name)) budget.Restore(*spent);
    return SourceGate(budget, [&store, name](const CallBudget::Spent& spent) { store->SaveSpentCalls(name, spent); });
  };
  CallBudget::Limits limits;
  const CallBudget::Limits freeTier = limits;
  if (!c.apiKey.empty()) limits = {INT64_MAX / 4, INT64_MAX / 4, INT64_MAX / 4, limits.reservePercent};
  if (c.dailyCalls > 0) limits.perDay = c.dailyCalls;
  SourceGate gate = persisted("forecast", CallBudget(limits));
  SourceGate freeGate = persisted("free-tier", CallBudget(freeTier));
  SourceGate& geocodeGate = c.apiKey.empty() ? gate : freeGate;
  Geocoder geocoder(c.geocodingUrl, *upstream, *store, geocodeGate, metrics, Now);
  if (c.geocodeAll) return GeocodeAll(*catalogue, geocoder, *store);

  ForecastService forecasts({c.forecastUrl, c.apiKey, c.policy, c.gatherMilliseconds}, *upstream, geocoder,
                            gate, *store, metrics, Now);
  RatesService rates(c.ratesUrl, c.db, *upstream, metrics, Now);
  try {
    RunFront(c.front, {*catalogue, forecasts, rates, metrics, *upstream});
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "corvella-gateway: %s\n", e.what());
    upstream->Abort();
    return kCannotListen;
  }
  LogLine("corvella-gateway stopped");
  return 0;
}

}  // namespace
}  // namespace corvella::gateway

int main(int argc, char** argv) { return corvella::gateway::Main(argc, argv); }
