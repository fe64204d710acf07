// The program's client fetches from feedsim, and what the extraction yields is what feedsim
// says it served: through the proxy as the program runs, directly, chunked, redirected.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "common/cp1251.h"
#include "common/date_time.h"
#include "retrieval/currency_rates.h"
#include "retrieval/forecast_blocks.h"
#include "retrieval/http_client.h"
#include "retrieval/rate_details.h"
#include "retrieval/servers.h"
#include "retrieval/socket.h"
#include "retrieval/weather_feed.h"
#include "tests/retrieval/feed_feedsim_process.h"
#include "tests/support/temp_path.h"
#include "tools/feedsim/sim_model.h"

namespace corvella {
namespace {

using testing_feedsim::FeedsimProcess;

constexpr CivilDate kWinter{2026, 12, 7};
constexpr CivilDate kSummer{2026, 7, 15};
constexpr std::string_view kLocation = "13544";

std::string Utf8(std::string_view cp1251) { return Cp1251ToUtf8(cp1251); }

class FeedsimFetch : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> options, CivilDate today = kWinter) {
    today_ = today;
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", today.year, today.month, today.day);
    options.insert(options.end(), {"--date", date});
    server_ = std::make_unique<FeedsimProcess>(std::move(options));
    client_ = std::make_unique<HttpClient>(*sockets_);
  }
  void UseProxy() {
    client_->proxyServer = "127.0.0.1";
    client_->proxyPort = server_->port();
  }
  std::string Direct(const std::string& url, std::string_view host) {
    std::string direct = url;
    direct.replace(direct.find(host), host.size(), "127.0.0.1:" + std::to_string(server_->port()));
    return direct;
  }
  std::string FetchForecast(const std::string& url) {
    ApplyFeedRequestSettings(*client_);
    return DecodeFeedBody(client_->Get(url));
  }

  // Every hour of today and both following days agree with the model.
  void ExpectForecastOf(const std::string& text, const feedsim::SimForecast& served) {
    ASSERT_FALSE(text.empty());
    for (const feedsim::SimHour& hour : served.days[0].hours) {
      char hh[3];
      std::snprintf(hh, sizeof hh, "%02d", hour.hour);
      CurrentReading r = ExtractCurrent(text, hh);
      EXPECT_EQ(Utf8(r.temperatureText), hour.temperature + "°") << hh;
      EXPECT_EQ(Utf8(r.skyCondition), feedsim::SkyWord(hour.sky)) << hh << " " << hour.description;
    }
    for (int d : {1, 2}) {
      DayRange range = ExtractDayRange(text, FormatYmd(AddDays(today_, d)));
      EXPECT_EQ(range.min, served.days[static_cast<std::size_t>(d)].min) << d;
      EXPECT_EQ(range.max, served.days[static_cast<std::size_t>(d)].max) << d;
    }
    // The window's hours run from 17:00 across midnight; its days from today, with their skies.
    const std::vector<HourBlock> hours = ExtractHours(text, "17");
    ASSERT_EQ(hours.size(), kMaxHourBlocks);
    for (std::size_t k = 0; k < hours.size(); ++k) {
      const feedsim::SimHour& hour = served.days[(17 + k) / 24].hours[(17 + k) % 24];
      EXPECT_EQ(std::stoi(hours[k].hour), hour.hour) << k;
      EXPECT_EQ(hours[k].temperature, hour.temperature) << k;
      EXPECT_EQ(Utf8(hours[k].description), hour.description) << k;
      const HourDetails& d = hours[k].details;
      ASSERT_TRUE(d.feels && d.wind && d.pressure && d.humidity && d.precip) << k;
      EXPECT_EQ(std::to_string(*d.wind->gust) + " " + std::to_string(*d.pressure) + " " + std::to_string(*d.humidity),
                std::to_string(hour.wind.gust) + " " + std::to_string(hour.pressure) + " " +
                    std::to_string(hour.humidity));
      EXPECT_EQ(d.precip->chance, hour.precip.chance) << k;
    }
    const std::vector<DayBlock> days = ExtractDays(text, FormatYmd(today_));
    ASSERT_EQ(days.size(), served.days.size());
    for (std::size_t d = 0; d < days.size(); ++d) {
      EXPECT_EQ(days[d].date, FormatYmd(served.days[d].date));
      EXPECT_EQ(days[d].min, served.days[d].min);
      EXPECT_EQ(days[d].max, served.days[d].max);
      EXPECT_EQ(Utf8(days[d].description), served.days[d].description) << d;
      EXPECT_EQ(days[d].sky, SkyOf(days[d].description));
      ASSERT_TRUE(days[d].wind && days[d].precip) << d;
      EXPECT_EQ(days[d].wind->speed, served.days[d].wind.speed) << d;
    }
  }

  std::unique_ptr<SocketLayer> sockets_ = MakeSystemSocketLayer();
  std::unique_ptr<FeedsimProcess> server_;
  std::unique_ptr<HttpClient> client_;
  CivilDate today_;
};

TEST_F(FeedsimFetch, ForecastThroughTheProxyAndDirectly) {
  Start({}, kSummer);
  feedsim::SimForecast served = feedsim::MakeForecast(kLocation, kSummer, false);
  UseProxy();
  std::string viaProxy = FetchForecast(BuildFeedUrl(kLocation));
  ExpectForecastOf(viaProxy, served);

  auto direct = std::make_unique<HttpClient>(*sockets_);
  client_.swap(direct);
  std::string origin = FetchForecast(Direct(BuildFeedUrl(kLocation), kFeedHost));
  EXPECT_EQ(origin, viaProxy);

  // Every sky word turns up in the two days of hours.
  std::set<std::string> words;
  for (int d : {0, 1}) {
    for (const auto& h : served.days[static_cast<std::size_t>(d)].hours)
      words.insert(std::string(SkyWord(h.sky)));
  }
  EXPECT_EQ(words.size(), 6u);

  // More places, for more descriptions under the current hours.
  for (std::string id : {"27612", "4368", "99", "123456", "7", "31960"}) {
    ExpectForecastOf(FetchForecast(Direct(BuildFeedUrl(id), kFeedHost)),
                     feedsim::MakeForecast(id, kSummer, false));
  }
}

TEST_F(FeedsimFetch, ChunkedRedirectedFrostyForecastStillAgrees) {
  Start({"--chunked", "--redirects", "5", "--cold"});
  UseProxy();
  std::string text = FetchForecast(BuildFeedUrl("27612"));
  feedsim::SimForecast served = feedsim::MakeForecast("27612", kWinter, true);
  ExpectForecastOf(text, served);
  for (const auto& h : served.days[0].hours) EXPECT_EQ(h.temperature.front(), '-') << h.temperature;
}

TEST_F(FeedsimFetch, VaryingForecastIsAnotherEveryTimeAndStillAgrees) {
  // The long-run check relies on this: every pass draws other digits and another hint.
  Start({"--vary"});
  UseProxy();
  std::set<std::string> texts;
  for (int n = 0; n < 4; ++n) {
    const std::string text = FetchForecast(BuildFeedUrl(kLocation));
    ExpectForecastOf(text,
                     feedsim::MakeForecast(std::string(kLocation) + "#" + std::to_string(n), kWinter, false));
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), 4u);
}

TEST_F(FeedsimFetch, RatesPageYieldsTheServedRates) {
  Start({});
  UseProxy();
  CurrencyFlags all;
  all.fill(true);
  RatesSnapshot s = ExtractRates(client_->Get(RatesPageUrl()), all);
  ASSERT_TRUE(s.pageReceived);
  ASSERT_EQ(s.rateLines.size(), kCurrencyCount);
  std::vector<feedsim::SimRate> served = feedsim::MakeRates(kWinter);
  for (std::size_t i = 0; i < kCurrencyCount; ++i) {
    std::string name = Utf8(kCurrencies[i].searchName);
    auto it = std::find_if(served.begin(), served.end(),
                           [&](const feedsim::SimRate& r) { return r.name.rfind(name, 0) == 0; });
    ASSERT_NE(it, served.end()) << name;
    EXPECT_EQ(s.rateLines[i].value, it->rate) << name;
    EXPECT_EQ(s.rateLines[i].label, kCurrencies[i].label);
  }
  // The cells after the rate, from the same page.
  const std::vector<RateDetail> details = ExtractRateDetails(client_->Get(RatesPageUrl()), all);
  ASSERT_EQ(details.size(), kCurrencyCount);
  const auto usd = std::find_if(served.begin(), served.end(),
                                [](const feedsim::SimRate& r) { return r.letterCode == "USD"; });
  EXPECT_EQ(details[kUsd].rate + details[kUsd].change + details[kUsd].tomorrow + details[kUsd].tomorrowDate,
            usd->rate + usd->change + usd->tomorrow + "08.12.2026");
  EXPECT_EQ(details[kUsd].history.substr(details[kUsd].history.size() - usd->rate.size()), usd->rate);
  EXPECT_EQ(std::count(details[kUsd].history.begin(), details[kUsd].history.end(), ' '), 29);
}

TEST_F(FeedsimFetch, LogHoldsTheRawRequestHeadsAsSent) {
  testing_support::TempPath logFile("feedsim_heads");
  const std::string& log = logFile;
  Start({"--log", log});
  UseProxy();
  client_->Get(RatesPageUrl());
  client_->Head(std::string("http://") + std::string(kSiteHost) + "/soft/corv.exe");
  std::ifstream in(log, std::ios::binary);
  std::string heads((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string expected = "GET http://" + std::string(kRatesHost) +
                         ":80/currency_base/daily/ HTTP/1.1\r\n"
                         "Content-Type: text/html\r\nHost: " +
                         std::string(kRatesHost) +
                         "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/5.0 (compatible;)\r\n\r\n"
                         "HEAD http://" +
                         std::string(kSiteHost) + ":80/soft/corv.exe HTTP/1.1\r\n";
  EXPECT_EQ(heads.substr(0, expected.size()), expected);
}

TEST_F(FeedsimFetch, WrongQueryAndUnknownHostAreRefused) {
  Start({});
  UseProxy();
  try {
    client_->Get("http://" + std::string(kFeedHost) + "/index.php?api_lang=en&localidad=1");
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.statusCode(), 400);
  }
  try {
    client_->Get("http://elsewhere.example/index.php");
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.statusCode(), 502);
  }
}

// feedsim's fault modes, as the client meets them.
TEST_F(FeedsimFetch, FaultModesLimitedToTheUpdateFile) {
  Start({"--status", "404", "--fault-path", "/soft/"});
  UseProxy();
  EXPECT_FALSE(client_->Get(RatesPageUrl()).empty());
  std::string update = std::string("http://") + std::string(kSiteHost) + "/soft/corv.exe";
  try {
    client_->Get(update);
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.statusCode(), 404);
    EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
  }
  // A HEAD's error response announces a body it does not carry, as servers do; the client
  // waits for that body in vain.
  client_->timings.errorBodyWaitMs = 200;
  EXPECT_THROW(client_->Head(update), HttpError);
}

TEST_F(FeedsimFetch, LastModifiedAsConfigured) {
  Start({"--last-modified", "Tue, 08 Dec 2026 06:30:00 GMT"});
  UseProxy();
  client_->Head(std::string("http://") + std::string(kSiteHost) + "/soft/corv.exe");
  EXPECT_EQ(client_->Response().Header("Last-Modified"), "Tue, 08 Dec 2026 06:30:00 GMT");
  EXPECT_EQ(client_->Response().statusCode, 200);
}

TEST_F(FeedsimFetch, ProxyAskingForBasicCredentials) {
  Start({"--require-proxy-auth", "user:secret"});
  UseProxy();
  try {
    client_->Get(RatesPageUrl());
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.statusCode(), 407);
    EXPECT_EQ(client_->Response().Header("Proxy-Authenticate"), "Basic realm=\"feedsim\"");
  }
}

TEST_F(FeedsimFetch, EarlyCloseGivesHalfTheBodyAndStallTimesOut) {
  Start({"--close-early"});
  UseProxy();
  std::string half = client_->Get(RatesPageUrl());
  std::string whole = feedsim::RenderRatesPage(feedsim::MakeRates(kWinter), kWinter);
  EXPECT_EQ(half, whole.substr(0, whole.size() / 2));

  Start({"--stall"});
  UseProxy();
  client_->timings.readTimeoutMs = 300;
  try {
    client_->Get(RatesPageUrl());
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_STREQ(e.what(), "Read Timeout");
  }
}

}  // namespace
}  // namespace corvella
