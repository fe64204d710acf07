#include "gateway/routing.h"

#include <gtest/gtest.h>

#include "gateway/admission.h"
#include "gateway/geocoder.h"

namespace corvella::gateway {
namespace {

const std::vector<std::string> kHosts = {"meteo.velmar.example", "rates.velmar.example",
                                         "www.velmar.example"};
constexpr const char* kFeed = "/index.php?api_lang=ru&localidad=230569&affiliate_id=q&v=2&h=1";

TEST(Routing, EachRequestGetsItsDocumentOrRefusal) {
  struct Case {
    Method method;
    std::string target;
    std::vector<std::string_view> hosts;
    unsigned version;
    bool local;
    Destination to;
    unsigned status;
  };
  const std::string feed = kFeed;
  const Case cases[] = {
      {Method::Get, feed, {"meteo.velmar.example"}, 11, false, Destination::Feed, 200},
      {Method::Head, feed, {"METEO.velmar.example:80"}, 11, false, Destination::Feed, 200},
      {Method::Get, "http://meteo.velmar.example" + feed, {"whatever"}, 11, false, Destination::Feed, 200},
      {Method::Get, "http://meteo.velmar.example:80" + feed, {"x"}, 11, false, Destination::Feed, 200},
      {Method::Get, "/currency_base/daily/", {"rates.velmar.example"}, 11, false, Destination::Rates, 200},
      {Method::Get, "/soft/corv.exe", {"www.velmar.example"}, 10, false, Destination::Update, 200},
      // Foreign hosts, ports and user information: never a proxy, never another site.
      {Method::Get, feed, {"evil.example"}, 11, false, Destination::Refused, 403},
      {Method::Get, "http://evil.example" + feed, {"x"}, 11, false, Destination::Refused, 403},
      {Method::Get, "http://meteo.velmar.example:8080" + feed, {"x"}, 11, false, Destination::Refused, 403},
      {Method::Get, "http://u@meteo.velmar.example" + feed, {"x"}, 11, false, Destination::Refused, 403},
      {Method::Get, feed, {"meteo.velmar.example:x"}, 11, false, Destination::Refused, 403},
      {Method::Connect, "meteo.velmar.example:443", {"x"}, 11, false, Destination::Refused, 403},
      // Host once in HTTP/1.1; HTTP/1.0 may leave it out but is then not ours either.
      {Method::Get, feed, {}, 11, false, Destination::Refused, 400},
      {Method::Get, feed, {"x.example", "x.example"}, 11, false, Destination::Refused, 400},
      {Method::Get, feed, {}, 10, false, Destination::Refused, 400},
      // This machine's checks answer only this machine, under any name.
      {Method::Get, "/metrics", {"127.0.0.1:8080"}, 11, true, Destination::Metrics, 200},
      {Method::Get, "/healthz", {"localhost"}, 11, true, Destination::Health, 200},
      {Method::Get, "/metrics", {"meteo.velmar.example"}, 11, false, Destination::Refused, 404},
      {Method::Get, "http://meteo.velmar.example/healthz", {"x"}, 11, true, Destination::Refused, 404},
      {Method::Other, feed, {"meteo.velmar.example"}, 11, false, Destination::Refused, 405},
      {Method::Get, "index.php", {"meteo.velmar.example"}, 11, false, Destination::Refused, 400},
      {Method::Get, "/index.php?v=2", {"meteo.velmar.example"}, 11, false, Destination::Refused, 400},
      {Method::Get, "/nothing", {"www.velmar.example"}, 11, false, Destination::Refused, 404},
  };
  for (const Case& c : cases) {
    RouteRequest r{c.method, c.target, c.hosts, c.version, c.local};
    RouteDecision d = Route(r, kHosts);
    EXPECT_EQ(d.to, c.to) << c.target << " Host " << (c.hosts.empty() ? "-" : c.hosts[0]);
    if (c.to == Destination::Refused) {
      EXPECT_EQ(d.status, c.status) << c.target;
    }
    if (c.to == Destination::Feed) {
      EXPECT_EQ(d.feedId, "230569");
    }
  }
}

TEST(Admission, TheClientIsNamedOnlyByTrustedProxies) {
  const std::vector<std::string> trusted = {"127.0.0.1", "::1"};
  EXPECT_EQ(ClientOf("203.0.113.5", "198.51.100.1", "", trusted).key, "203.0.113.5");
  EXPECT_EQ(ClientOf("127.0.0.1", "198.51.100.1", "10.0.0.1", trusted).key, "198.51.100.1");
  EXPECT_FALSE(ClientOf("127.0.0.1", "198.51.100.1", "", trusted).loopback);
  EXPECT_EQ(ClientOf("127.0.0.1", "", "6.6.6.6, 198.51.100.2, 127.0.0.1", trusted).key, "198.51.100.2");
  EXPECT_EQ(ClientOf("127.0.0.1", "not an address", "", trusted).key, "127.0.0.1");
  EXPECT_TRUE(ClientOf("127.0.0.1", "", "", trusted).loopback);
  EXPECT_TRUE(ClientOf("127.0.0.2", "198.51.100.1", "", trusted).loopback);  // not a proxy of ours
  EXPECT_EQ(ClientOf("2001:db8:1:2:aaaa::1", "", "", {}).key,
            ClientOf("2001:db8:1:2:bbbb::9", "", "", {}).key);
  EXPECT_EQ(ClientOf("::ffff:192.0.2.7", "", "", {}).key, "192.0.2.7");
}

TEST(Admission, NewPlacesComeFromEachClientsOwnAllowance) {
  MissAllowance allowance({3, 60, 2});  // three at once, one a minute, two clients remembered
  std::int64_t retry = 0;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(allowance.Take("a", 0, retry));
  EXPECT_FALSE(allowance.Take("a", 1000, retry));
  EXPECT_GE(retry, 1);
  EXPECT_LE(retry, 60);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(allowance.Take("b", 1000, retry)) << "another client is not held back";
  EXPECT_TRUE(allowance.Take("a", 61'000, retry)) << "refilled after a minute";
  EXPECT_TRUE(allowance.Take("c", 62'000, retry)) << "a newcomer is remembered at once";
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(allowance.Take("d", 62'000, retry)) << "... however full the table";
  EXPECT_TRUE(allowance.Take("b", 62'000, retry)) << "the client asked least recently made room";
}

// An IPv6 client is counted in its /64, its /56 and its /48, each holding four times the
// allowance of the one inside it; an allowance given back can be spent again.
TEST(Admission, AddressBlocksShareAnAllowance) {
  MissAllowance allowance({2, 60, 1000});
  std::int64_t retry = 0;
  int admitted = 0;
  for (int k = 0; k < 64; ++k) {
    const ClientAddress c = ClientOf("2001:db8:0:1" + std::to_string(k / 10) + std::to_string(k % 10) + "::1", "", "", {});
    for (int i = 0; i < 2; ++i) admitted += allowance.Take(c, 0, retry);
  }
  EXPECT_EQ(admitted, 8) << "one /56";
  const ClientAddress other = ClientOf("2001:db8:0:200::1", "", "", {});
  EXPECT_TRUE(allowance.Take(other, 0, retry)) << "another /56 of the /48";
  EXPECT_TRUE(allowance.Take(other, 0, retry));
  EXPECT_FALSE(allowance.Take(other, 0, retry));
  allowance.GiveBack(other, 0);
  EXPECT_TRUE(allowance.Take(other, 0, retry));
  for (const char* forwarded : {"[2001:db8::7]:4711", "198.51.100.7:4711", "[2001:db8::7]"})
    EXPECT_NE(ClientOf("127.0.0.1", "", forwarded, {"127.0.0.1"}).key, "127.0.0.1") << forwarded;
}

// A batch takes the places that fit, a place weighing 1.5 calls and the batch rounded up; the
// rest hears when the minute frees; what was taken is saved before the calls go out.
TEST(SourceGate, ABatchTakesWhatFitsAtItsWeight) {
  std::int64_t saved = 0, openAt = 0;
  SourceGate gate(CallBudget({10, 100, 100, 0}), [&](const CallBudget::Spent& s) { saved = s.used[0]; });
  EXPECT_EQ(gate.TakeUpTo(10, 15, 0, openAt, CallBudget::Use::New), 6);
  EXPECT_EQ(saved, 9);
  EXPECT_EQ(gate.TakeUpTo(1, 15, 1, openAt, CallBudget::Use::New), 0);
  EXPECT_EQ(openAt, 60);
}

}  // namespace
}  // namespace corvella::gateway
