// Whole refresh passes: a fake window as the host, the program's HTTP client, and a loopback
// server reached as the client's proxy that plays the feed, the rates page and the maker's
// site. The host's sleep is a fake, so the tests never wait for the retry pauses.
#include "shell/refresh_pass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/cp1251.h"
#include "common/error.h"
#include "common/text_literal.h"
#include "retrieval/currency_rates.h"
#include "retrieval/http_client.h"
#include "retrieval/servers.h"
#include "retrieval/socket.h"
#include "shell/app_settings.h"
#include "shell/location_catalogue.h"
#include "shell/memory_settings_store.h"
#include "tests/retrieval/support/scripted_server.h"

namespace corvella {
namespace {

// ---------------------------------------------------------------------------------------
// The loopback site

// What the site does with one request.
struct Reply {
  enum class Kind { Send, Reset } kind = Kind::Send;
  std::string bytes;
};

Reply Ok(std::string_view utf8Body) {
  return {Reply::Kind::Send, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                 std::to_string(utf8Body.size()) + "\r\n\r\n" + std::string(utf8Body)};
}
Reply Status(int code) {
  return {Reply::Kind::Send,
          "HTTP/1.1 " + std::to_string(code) + " Trouble\r\nContent-Length: 4\r\n\r\noops"};
}
Reply ResetConnection() { return {Reply::Kind::Reset, {}}; }
// The update file, published at `httpDate`.
Reply Published(std::string_view httpDate) {
  return {Reply::Kind::Send,
          "HTTP/1.1 200 OK\r\nLast-Modified: " + std::string(httpDate) + "\r\nContent-Length: 4096\r\n\r\n"};
}

// One queue of replies per document; the last reply of a queue answers every later request.
class TestSite {
 public:
  enum Route { kFeed, kRates, kUpdate, kOther, kRouteCount };

  TestSite() {
    for (int i = 0; i < 64; ++i) server_.Then([this](ServerConnection& c) { Serve(c); });
  }

  int port() const { return server_.port(); }

  void Answer(Route route, std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    queues_[route].assign(replies.begin(), replies.end());
  }
  int Hits(Route route) const {
    std::lock_guard lock(mutex_);
    return hits_[route];
  }
  // The request lines received, in order.
  std::vector<std::string> RequestLines() const {
    std::vector<std::string> lines;
    for (const std::string& head : server_.requests()) lines.push_back(head.substr(0, head.find("\r\n")));
    return lines;
  }
  int Connections() const { return server_.connections(); }
  // Runs on the client's thread between two requests, from the pass's pump.
  std::function<void()> beforeReply;

 private:
  static Route RouteOf(const std::string& head) {
    const std::string line = head.substr(0, head.find("\r\n"));
    if (line.find("/index.php?") != std::string::npos) return kFeed;
    if (line.find("/currency_base/daily/") != std::string::npos) return kRates;
    if (line.find("/soft/corv.exe") != std::string::npos) return kUpdate;
    return kOther;
  }

  void Serve(ServerConnection& c) {
    for (;;) {
      const std::string head = c.ReadRequest(600000);
      if (head.empty()) return;
      Reply reply;
      {
        std::lock_guard lock(mutex_);
        const Route route = RouteOf(head);
        ++hits_[route];
        std::deque<Reply>& queue = queues_[route];
        if (queue.empty()) {
          reply = Status(404);
        } else {
          reply = queue.front();
          if (queue.size() > 1) queue.pop_front();
        }
      }
      if (reply.kind == Reply::Kind::Reset) {
        c.Reset();
        return;
      }
      if (!c.Send(reply.bytes)) return;
    }
  }

  ScriptedServer server_;
  mutable std::mutex mutex_;
  std::deque<Reply> queues_[kRouteCount];
  int hits_[kRouteCount] = {};
};

// A forecast in the feed's form (UTF-8): today 2024-03-14 with the hours 08 and 09, and the
// two following days.
struct FeedValues {
  std::string temperature = "12";
  std::string description = "Облачно, небольшой дождь";
  std::string tomorrowMin = "5", tomorrowMax = "14";
  std::string dayAfterMin = "3", dayAfterMax = "11";
};

std::string FeedDocument(const FeedValues& v = {}) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<report><location city=\"Москва\">\n"
         "<day value=\"20240314\" name=\"Четверг\"><tempmin value=\"1\"/><tempmax value=\"7\"/>\n"
         "<hour value=\"08:00\"><temp value=\"-4\" unit=\"c\"/><symbol desc=\"Снег\"/></hour>\n"
         "<hour value=\"09:00\"><temp value=\"" +
         v.temperature + "\" unit=\"c\"/><symbol value=\"3\" desc=\"" + v.description +
         "\"/></hour>\n</day>\n"
         "<day value=\"20240315\" name=\"Пятница\"><tempmin value=\"" +
         v.tomorrowMin + "\"/><tempmax value=\"" + v.tomorrowMax +
         "\"/></day>\n"
         "<day value=\"20240316\" name=\"Суббота\"><tempmin value=\"" +
         v.dayAfterMin + "\"/><tempmax value=\"" + v.dayAfterMax + "\"/></day>\n</location></report>\n";
}

std::string RatesDocument(std::string_view usd = "91,2345", std::string_view eur = "99,1234") {
  return "<html><body><table class=\"data\"><tr><th>Цифр. код</th><th>Валюта</th><th>Курс</th></tr>"
         "<tr><td>840</td><td>USD</td><td>1</td><td>Доллар США</td><td>" +
         std::string(usd) +
         "</td><td class=\"change\">+0,3511</td></tr>"
         "<tr><td>978</td><td>EUR</td><td>1</td><td>Евро</td><td>" +
         std::string(eur) +
         "</td></tr>"
         "</table></body></html>";
}

// ---------------------------------------------------------------------------------------
// The fake window

struct Notice {
  std::string title, text;
  NoticeKind kind;
  int seconds;
};

// Every call the pass makes on the window and on Timer1, in order.
class FakeHost : public RefreshHost, public Timer {
 public:
  bool IsOnline() override {
    journal.push_back("online?");
    return online;
  }
  void SetHint(const std::string& text) override {
    journal.push_back("hint");
    hints.push_back(text);
  }
  void SetRefreshItemEnabled(bool enabled) override {
    journal.push_back(enabled ? "item on" : "item off");
    itemEnabled = enabled;
  }
  void PumpMessages() override {
    journal.push_back("pump");
    if (onPump) onPump();
  }
  void PaintTrayDigits(const ForecastSnapshot& snapshot) override {
    journal.push_back("paint");
    painted.push_back(snapshot);
  }
  void RefreshFace(const ForecastSnapshot& snapshot) override {
    journal.push_back("face");
    faces.push_back(snapshot);
  }
  void ShowWidget() override { journal.push_back("widget"); }
  void SetIconIndex(int index) override {
    journal.push_back("icon " + std::to_string(index));
    iconIndex = index;
  }
  void Sleep(int milliseconds) override { journal.push_back("sleep " + std::to_string(milliseconds)); }
  void ShowNotice(const std::string& title, const std::string& text, NoticeKind kind, int seconds) override {
    journal.push_back("notice");
    notices.push_back(Notice{title, text, kind, seconds});
  }
  // Timer1.
  void SetEnabled(bool enabled) override {
    journal.push_back(enabled ? "timer1 on" : "timer1 off");
    timer1Enabled = enabled;
  }

  int Count(std::string_view event) const {
    int n = 0;
    for (const std::string& e : journal) n += e == event ? 1 : 0;
    return n;
  }

  bool online = true;
  std::vector<std::string> journal;
  std::vector<std::string> hints;
  std::vector<ForecastSnapshot> painted, faces;
  std::vector<Notice> notices;
  bool itemEnabled = true;
  bool timer1Enabled = true;
  int iconIndex = 0;
  std::function<void()> onPump;
};

class FixedFileDate : public OwnFileDate {
 public:
  DateTime Read() const override {
    if (unreadable) throw Error("Invalid argument to date encode");
    return date;
  }
  DateTime date = EncodeDateTime(CivilTime{{2024, 3, 1}, 12, 0, 0});
  bool unreadable = false;
};

constexpr char kCr = '\r';

// A catalogue of three rows; the pass looks the id up by index.
constexpr std::string_view kCatalogue =
    "Адыгея, Абадзехская;230569\nИркутская область, Братск;13527\nИркутская область, Братск;235712\n";

std::string Cp(std::string_view utf8) { return Utf8ToCp1251Lenient(utf8); }

class RefreshPassTest : public ::testing::Test {
 protected:
  RefreshPassTest() {
    settings.locationIndex = 2;
    settings.proxyHost = "127.0.0.1";
    settings.proxyPort = std::to_string(site.port());
    settings.notifyOnConnect = true;
    site.Answer(TestSite::kFeed, {Ok(FeedDocument())});
    site.Answer(TestSite::kRates, {Ok(RatesDocument())});
    site.Answer(TestSite::kUpdate, {Published("Tue, 12 Mar 2024 00:00:00 GMT")});
  }

  // The hint of a pass that received both documents with the default options.
  static std::string FullHint(std::string_view usd = "91,2345", std::string_view eur = "99,1234") {
    return Cp("Corvella\rСейчас 12° Облачно\rЗавтра от 5° до 14°\rПослезавтра от 3° до 11°\r\rДоллар ") +
           std::string(usd) + Cp("\rЕвро ") + std::string(eur);
  }

  std::vector<std::string> Requests() const { return site.RequestLines(); }

  TestSite site;
  std::unique_ptr<SocketLayer> sockets = MakeSystemSocketLayer();
  FixedClock clock{CivilTime{{2024, 3, 14}, 9, 40, 0}};
  HttpClient http{*sockets, clock};
  AppSettings settings;
  MemorySettingsStore store;
  LocationCatalogue catalogue = LocationCatalogue::FromBytes(kCatalogue);
  FixedFileDate ownDate;
  FakeHost host;
  RefreshPass pass{host, host, http, settings, store, catalogue, clock, ownDate};
};

// ---------------------------------------------------------------------------------------

TEST_F(RefreshPassTest, FullPassComposesTheHintAndHandsEverythingToTheWindow) {
  pass.Run();

  EXPECT_EQ(pass.Snapshot().hintText, FullHint());
  ASSERT_EQ(host.hints.size(), 3u);
  EXPECT_EQ(host.hints[0], Cp("Corvella\rзагрузка данных..."));
  EXPECT_EQ(host.hints[1], "Corvella");
  EXPECT_EQ(host.hints[2], FullHint());

  EXPECT_EQ(host.journal, (std::vector<std::string>{"online?", "hint", "item off", "pump", "timer1 off",
                                                    "pump", "hint", "paint", "face", "widget", "pump", "hint",
                                                    "icon 2", "item on", "notice"}));

  const ForecastSnapshot& s = pass.Snapshot();
  EXPECT_EQ(s.temperatureText, Cp("12°"));
  EXPECT_EQ(s.iconText, Cp("12°"));
  EXPECT_EQ(s.signedText, Cp("+12°"));
  EXPECT_EQ(s.skyCondition, Cp("Облачно"));
  EXPECT_EQ(s.tomorrowMin + "/" + s.tomorrowMax + "/" + s.dayAfterMin + "/" + s.dayAfterMax, "5/14/3/11");
  ASSERT_EQ(host.painted.size(), 1u);
  EXPECT_EQ(host.painted[0].temperatureText, Cp("12°"));
  ASSERT_EQ(host.faces.size(), 1u);
  EXPECT_EQ(host.faces[0].signedText, Cp("+12°"));

  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0].title, "Corvella");
  EXPECT_EQ(host.notices[0].text, FullHint().substr(9));
  EXPECT_EQ(host.notices[0].kind, NoticeKind::Info);
  EXPECT_EQ(host.notices[0].seconds, 10);
  EXPECT_TRUE(pass.NoticeShown());
  EXPECT_TRUE(pass.LastPassReceived());
  EXPECT_FALSE(host.timer1Enabled);

  // Through the proxy, to the feed id of row 2, then the rates page; the summary pass does
  // not check the version yet.
  EXPECT_EQ(Requests(),
            (std::vector<std::string>{
                "GET http://" + std::string(kFeedHost) +
                    ":80/index.php?api_lang=ru&localidad=235712&affiliate_id=qk3d8w2mzx7e&v=2&h=1 HTTP/1.1",
                "GET http://" + std::string(kRatesHost) + ":80/currency_base/daily/ HTTP/1.1"}));
  EXPECT_EQ(http.proxyServer, "127.0.0.1");
  EXPECT_EQ(http.proxyPort, site.port());
}

TEST_F(RefreshPassTest, DisplayOptionsChooseTheIconAndTheCurrentLine) {
  settings.digitsOnly = true;
  pass.Run();
  EXPECT_EQ(host.iconIndex, 3);

  // Temperature not on the icon: nothing drawn, no signed text for the widget, entry 1.
  settings.temperatureOnIcon = false;
  host.painted.clear();
  pass.Run();
  EXPECT_EQ(host.iconIndex, 1);
  EXPECT_TRUE(host.painted.empty());
  EXPECT_EQ(pass.Snapshot().signedText, "");
  EXPECT_EQ(pass.Snapshot().hintText, FullHint());

  // No current temperature: the line is a blank and the last condition word; the widget keeps
  // its signed text of the last pass that made one.
  settings.temperatureOnIcon = true;
  pass.Run();
  EXPECT_EQ(pass.Snapshot().signedText, Cp("+12°"));
  settings.showCurrentTemperature = false;
  FeedValues snowy;
  snowy.description = "небольшой снег";
  site.Answer(TestSite::kFeed, {Ok(FeedDocument(snowy))});
  pass.Run();
  EXPECT_EQ(host.iconIndex, 1);
  EXPECT_EQ(pass.Snapshot().signedText, Cp("+12°"));
  EXPECT_EQ(pass.Snapshot().hintText.substr(0, 18), Cp("Corvella\r Облачно\r"));

  // The feed without a temperature: the plain pictures are drawn, the line has no "Сейчас".
  settings.showCurrentTemperature = true;
  FeedValues noTemperature;
  noTemperature.temperature = "";
  noTemperature.description = "небольшой снег";
  site.Answer(TestSite::kFeed, {Ok(FeedDocument(noTemperature))});
  host.painted.clear();
  pass.Run();
  ASSERT_EQ(host.painted.size(), 1u);
  EXPECT_EQ(host.painted[0].temperatureText, "");
  EXPECT_EQ(pass.Snapshot().hintText.substr(0, 15), Cp("Corvella\r Снег\r"));
  EXPECT_EQ(host.iconIndex, 3);  // digits only, still on since the first pass
}

TEST_F(RefreshPassTest, DayLinesNeedBothValuesAndFollowTheirOptions) {
  FeedValues halfDays;
  halfDays.tomorrowMin = "";  // only the maximum
  halfDays.dayAfterMax = "";  // only the minimum
  site.Answer(TestSite::kFeed, {Ok(FeedDocument(halfDays))});
  settings.rateUsd = settings.rateEur = false;
  pass.Run();
  EXPECT_EQ(pass.Snapshot().hintText, Cp("Corvella\rСейчас 12° Облачно\r"));
  EXPECT_EQ(pass.Snapshot().tomorrowMax, "14");
  EXPECT_EQ(site.Hits(TestSite::kRates), 0);

  site.Answer(TestSite::kFeed, {Ok(FeedDocument())});
  settings.forecastTomorrow = false;
  pass.Run();
  EXPECT_EQ(pass.Snapshot().hintText, Cp("Corvella\rСейчас 12° Облачно\rПослезавтра от 3° до 11°\r"));
  settings.forecastTomorrow = true;
  settings.forecastDayAfter = false;
  pass.Run();
  EXPECT_EQ(pass.Snapshot().hintText, Cp("Corvella\rСейчас 12° Облачно\rЗавтра от 5° до 14°\r"));
}

TEST_F(RefreshPassTest, AnySingleCurrencyRunsTheRatesStep) {
  settings.rateUsd = false;
  settings.rateEur = false;
  settings.rateKzt = true;
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kRates), 1);
  settings.rateKzt = false;
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kRates), 1);
}

TEST_F(RefreshPassTest, FailedAttemptsAreRetriedOnAFreshConnectionAndNeverShown) {
  site.Answer(TestSite::kFeed, {Status(500), ResetConnection(), Ok(FeedDocument())});
  pass.Run();
  EXPECT_EQ(pass.Snapshot().hintText, FullHint());
  EXPECT_EQ(site.Hits(TestSite::kFeed), 3);
  EXPECT_EQ(host.Count("sleep 99"), 2);
  EXPECT_TRUE(host.notices.size() == 1u);  // only the summary
  // The 500 left a usable connection; only Disconnect makes the retry connect anew.
  EXPECT_EQ(site.Connections(), 3);
  // A pump after every attempt, failed or not, and a sleep before the pump of a failure.
  const std::vector<std::string> fetch(host.journal.begin() + 5, host.journal.begin() + 10);
  EXPECT_EQ(fetch, (std::vector<std::string>{"sleep 99", "pump", "sleep 99", "pump", "pump"}));
}

TEST_F(RefreshPassTest, ClosingEndsThePassAtOnceWhateverItsStep) {
  // "Закрыть" chosen in the pump after the first failed attempt: no second attempt, no rates,
  // no outcome, and the pass asked for meanwhile is dropped too.
  site.Answer(TestSite::kFeed, {Status(500), Ok(FeedDocument())});
  int pumps = 0;
  host.onPump = [&] {
    if (++pumps == 1) pass.Run();
    if (pumps == 2) throw ProgramClosing();
  };
  EXPECT_NO_THROW(pass.Run());
  EXPECT_EQ(site.Hits(TestSite::kFeed), 1);
  EXPECT_EQ(site.Hits(TestSite::kRates), 0);
  EXPECT_EQ(host.Count("online?"), 1);
  EXPECT_EQ(host.Count("sleep 99"), 1);
  EXPECT_EQ(host.journal.back(), "pump");
  EXPECT_FALSE(pass.Running());
  EXPECT_FALSE(host.timer1Enabled);

  // Chosen while the client waits for a late answer, or on one of its status events: the
  // request is given up and never retried.
  ScriptedServer slow;
  for (int i = 0; i < 2; ++i) {
    slow.Then([](ServerConnection& c) {
      c.ReadRequest(2000);
      c.Pause(2000);
    });
  }
  settings.proxyPort = std::to_string(slow.port());
  http.timings.idleSliceMs = 20;
  host.onPump = nullptr;
  http.pump = [] { throw ProgramClosing(); };
  for (int i = 0; i < 2; ++i) {
    if (i == 1) {
      http.pump = nullptr;
      http.onStatus = [](HttpClient&, HttpStatus status, const std::string&) {
        if (status == HttpStatus::Connected) throw ProgramClosing();
      };
    }
    host.journal.clear();
    EXPECT_NO_THROW(pass.Run());
    EXPECT_EQ(host.Count("sleep 99"), 0) << i;
    EXPECT_EQ(host.Count("item on"), 0) << i;
    EXPECT_EQ(host.journal.back(), "timer1 off") << i;  // nothing after the loading state
    EXPECT_TRUE(slow.WaitForConnections(i + 1));
  }
}

TEST_F(RefreshPassTest, ClientStatusEventsAndWaitsRunTheHostsPump) {
  AttachPump(http, host);
  http.proxyServer = "127.0.0.1";
  http.proxyPort = site.port();
  int pumps = 0;
  host.onPump = [&] { ++pumps; };
  EXPECT_FALSE(http.Get(RatesPageUrl()).empty());
  EXPECT_GE(pumps, 2);  // "Connecting to 127.0.0.1.", "Connected."
  pumps = 0;
  http.Disconnect();
  EXPECT_EQ(pumps, 2);  // "Disconnecting.", "Disconnected."
  pumps = 0;
  http.pump();
  EXPECT_EQ(pumps, 1);
}

TEST_F(RefreshPassTest, NothingReceivedArmsTheRetryAndLeavesTheMenuItemOff) {
  site.Answer(TestSite::kFeed, {Status(503)});
  site.Answer(TestSite::kRates, {ResetConnection()});
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kFeed), 3);
  EXPECT_EQ(site.Hits(TestSite::kRates), 3);
  EXPECT_EQ(host.Count("sleep 99"), 6);
  EXPECT_EQ(host.Count("pump"), 7);
  EXPECT_FALSE(pass.LastPassReceived());
  EXPECT_TRUE(host.timer1Enabled);
  EXPECT_FALSE(host.itemEnabled);
  EXPECT_EQ(host.iconIndex, 0);
  EXPECT_TRUE(host.notices.empty());
  EXPECT_EQ(host.hints.back(), "Corvella");

  // A later pass that fails keeps showing the last hint that was composed.
  site.Answer(TestSite::kFeed, {Ok(FeedDocument())});
  site.Answer(TestSite::kRates, {Ok(RatesDocument())});
  pass.Run();
  EXPECT_TRUE(host.itemEnabled);
  site.Answer(TestSite::kFeed, {ResetConnection()});
  site.Answer(TestSite::kRates, {ResetConnection()});
  pass.Run();
  EXPECT_EQ(host.hints.back(), FullHint());
  EXPECT_TRUE(host.timer1Enabled);
}

TEST_F(RefreshPassTest, EmptyOrUndecodableForecastCountsAsNotReceived) {
  settings.rateUsd = settings.rateEur = false;
  site.Answer(TestSite::kFeed, {Ok("")});
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kFeed), 1);  // a success, not retried
  EXPECT_FALSE(pass.LastPassReceived());
  EXPECT_TRUE(host.timer1Enabled);

  site.Answer(TestSite::kFeed, {Ok(FeedDocument() + "\xD0")});  // cut inside a sequence
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kFeed), 2);
  EXPECT_FALSE(pass.LastPassReceived());
  EXPECT_EQ(host.Count("paint"), 0);
  EXPECT_EQ(host.hints.back(), "Corvella");
}

TEST_F(RefreshPassTest, TheForecastWindowsRowsBelongToThePlaceOfTheLastForecast) {
  pass.Run();
  const ForecastSnapshot& s = pass.Snapshot();
  EXPECT_EQ(s.place + "|" + s.region + "|" + s.updatedAt, Cp("Братск|Иркутская область|09:40"));
  ASSERT_EQ(s.hours.size(), 1u);  // from 09:00, the last block of the document
  EXPECT_EQ(s.hours[0].temperature, "12");
  EXPECT_EQ(s.days.size(), 3u);
  EXPECT_EQ(s.rateLines, (std::vector<std::string>{Cp("Доллар 91,2345"), Cp("Евро 99,1234")}));
  ASSERT_EQ(s.rateDetails.size(), 2u);
  EXPECT_EQ(s.rateDetails[0].change + "|" + s.rateDetails[1].rate + s.rateDetails[1].change, "+0,3511|99,1234");

  // The same place out of reach keeps its rows; another place out of reach has none yet.
  site.Answer(TestSite::kFeed, {Ok("")});
  pass.Run();
  EXPECT_EQ(s.hours.size(), 1u);
  settings.locationIndex = 0;
  pass.Run();
  EXPECT_TRUE(s.hours.empty() && s.days.empty() && s.place.empty() && s.updatedAt.empty());
}

TEST_F(RefreshPassTest, RatesWithoutForecastReplaceTheCurrencyLinesOnly) {
  pass.Run();
  site.Answer(TestSite::kFeed, {ResetConnection()});
  site.Answer(TestSite::kRates, {Ok(RatesDocument("92,0000", "100,5000"))});
  pass.Run();
  EXPECT_TRUE(pass.LastPassReceived());
  EXPECT_EQ(pass.Snapshot().hintText, FullHint("92,0000", "100,5000"));
  pass.Run();
  EXPECT_EQ(pass.Snapshot().hintText, FullHint("92,0000", "100,5000"));
  EXPECT_EQ(host.hints.back(), FullHint("92,0000", "100,5000"));
  EXPECT_FALSE(host.timer1Enabled);
}

TEST_F(RefreshPassTest, FirstPassWithRatesOnlyShowsThemWholeInTheSummary) {
  site.Answer(TestSite::kFeed, {ResetConnection()});
  pass.Run();
  const std::string rates = Cp("\rДоллар 91,2345\rЕвро 99,1234");
  EXPECT_EQ(pass.Snapshot().hintText, rates);
  EXPECT_EQ(host.iconIndex, 2);
  EXPECT_TRUE(host.itemEnabled);
  ASSERT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.notices[0].text, rates);
  EXPECT_EQ(host.Count("face"), 0);
  EXPECT_EQ(host.Count("widget"), 0);
}

TEST_F(RefreshPassTest, WidgetIsShownOnlyWhileItsStoredSettingIsOn) {
  store.WriteBool(kSettingsSection, kValueWidgetShown, false);
  pass.Run();
  EXPECT_EQ(host.Count("face"), 1);
  EXPECT_EQ(host.Count("widget"), 0);
  store.WriteBool(kSettingsSection, kValueWidgetShown, true);
  pass.Run();
  EXPECT_EQ(host.Count("widget"), 1);
}

TEST_F(RefreshPassTest, SummaryOnceThenTheVersionCheckUntilItCompletes) {
  site.Answer(TestSite::kUpdate, {Status(404), Published("Tue, 12 Mar 2024 00:00:00 GMT")});
  pass.Run();  // summary
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 0);
  pass.Run();  // check fails: swallowed, tried again later
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 1);
  EXPECT_FALSE(pass.VersionChecked());
  EXPECT_EQ(host.notices.size(), 1u);
  pass.Run();  // published 10.5 days after our file: the news
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 2);
  EXPECT_TRUE(pass.VersionChecked());
  ASSERT_EQ(host.notices.size(), 2u);
  EXPECT_EQ(host.notices[1].text, UpdateNoticeText());
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 2);
  EXPECT_EQ(host.notices.size(), 2u);
  EXPECT_EQ(host.Count("item on"), 4);

  // An unreadable own date is a failed check as well.
  RefreshPass other{host, host, http, settings, store, catalogue, clock, ownDate};
  ownDate.unreadable = true;
  other.Run();
  other.Run();
  EXPECT_FALSE(other.VersionChecked());
}

TEST_F(RefreshPassTest, VersionCheckNeedsItsOptionAndAnEarlierPassWithData) {
  settings.checkForUpdates = false;
  pass.Run();
  pass.Run();
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 0);

  // With the summary off (its default) the check still comes, on a later pass than the first
  // that received anything, until it completes once.
  RefreshPass quiet{host, host, http, settings, store, catalogue, clock, ownDate};
  settings.checkForUpdates = true;
  settings.notifyOnConnect = false;
  site.Answer(TestSite::kFeed, {ResetConnection()});
  site.Answer(TestSite::kRates, {ResetConnection(), ResetConnection(), ResetConnection(), Ok(RatesDocument())});
  site.Answer(TestSite::kUpdate, {Status(404), Published("Tue, 12 Mar 2024 00:00:00 GMT")});
  const std::vector<int> headsAfterEachPass = {0, 0, 1, 2, 2};  // nothing, rates, 404, news, done
  for (std::size_t i = 0; i < headsAfterEachPass.size(); ++i) {
    quiet.Run();
    EXPECT_EQ(quiet.LastPassReceived(), i > 0) << i;
    EXPECT_EQ(site.Hits(TestSite::kUpdate), headsAfterEachPass[i]) << i;
  }
  EXPECT_TRUE(quiet.VersionChecked());
  EXPECT_FALSE(quiet.NoticeShown());
  ASSERT_EQ(host.notices.size(), 2u);  // the first pass's summary, then the news
  EXPECT_EQ(host.notices[1].text, UpdateNoticeText());

  // The summary turned on later comes alone in its pass; the check waits for the next one.
  RefreshPass late{host, host, http, settings, store, catalogue, clock, ownDate};
  site.Answer(TestSite::kRates, {Ok(RatesDocument())});
  late.Run();
  settings.notifyOnConnect = true;
  late.Run();
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 2);
  EXPECT_TRUE(late.NoticeShown());
  late.Run();
  EXPECT_EQ(site.Hits(TestSite::kUpdate), 3);
}

TEST_F(RefreshPassTest, OfflineDoesNothingAtAll) {
  host.online = false;
  pass.Run();
  EXPECT_EQ(host.journal, std::vector<std::string>{"online?"});
  EXPECT_TRUE(host.timer1Enabled);
  EXPECT_EQ(site.Connections(), 0);
}

TEST_F(RefreshPassTest, BadProxyPortOrLocationFailsBeforeAnyRequest) {
  const struct {
    std::string host, port;
    int location;
    std::string message;
  } cases[] = {
      {"127.0.0.1", "", 2, "'' is not a valid integer value"},
      {"", "80x", 2, "'80x' is not a valid integer value"},
      {"127.0.0.1", "99999999999", 2, "'99999999999' is not a valid integer value"},
      {"127.0.0.1", std::to_string(site.port()), -1, "List index out of bounds (-1)"},
      {"127.0.0.1", std::to_string(site.port()), 3, "List index out of bounds (-1)"},
  };
  for (const auto& c : cases) {
    settings.proxyHost = c.host;
    settings.proxyPort = c.port;
    settings.locationIndex = c.location;
    host.hints.clear();
    try {
      pass.Run();
      ADD_FAILURE() << c.message;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_FALSE(pass.Running());
    EXPECT_TRUE(host.itemEnabled) << c.message;
    // A bad port leaves the client's proxy as it was.
    if (c.location == 2) {
      EXPECT_EQ(http.proxyServer, "") << c.message;
    }
    EXPECT_EQ(host.hints, std::vector<std::string>{Cp("Corvella\rзагрузка данных...")});
  }
  EXPECT_EQ(site.Connections(), 0);

  // And the pass works again once the settings are right.
  settings.locationIndex = 1;
  pass.Run();
  EXPECT_NE(Requests().at(0).find("localidad=13527&"), std::string::npos);
}

// The servers' names all lead to one loopback site, as if it were the origin itself.
class NamesTo : public SocketLayer {
 public:
  NamesTo(SocketLayer& system, int port) : system_(system), port_(port) {}
  std::vector<Endpoint> Resolve(const std::string& host, int port) override {
    return IsNumericHost(host) ? system_.Resolve(host, port) : std::vector<Endpoint>{{"127.0.0.1", port_}};
  }
  std::unique_ptr<StreamSocket> Connect(const Endpoint& peer, const std::atomic<bool>& cancel) override {
    return system_.Connect(peer, cancel);
  }
  std::unique_ptr<ListeningSocket> ListenLoopback(int port) override { return system_.ListenLoopback(port); }

 private:
  SocketLayer& system_;
  int port_;
};

TEST_F(RefreshPassTest, ClearedProxySettingsGoDirect) {
  TestSite origin;
  origin.Answer(TestSite::kFeed, {Ok(FeedDocument())});
  origin.Answer(TestSite::kRates, {Ok(RatesDocument())});
  NamesTo names(*sockets, origin.port());
  HttpClient client{names, clock};
  RefreshPass direct{host, host, client, settings, store, catalogue, clock, ownDate};
  settings.proxyUser = "anna";
  settings.proxyPassword = "secret";
  direct.Run();
  EXPECT_EQ(site.Hits(TestSite::kFeed), 1);

  // Both fields emptied: the next pass asks the servers themselves, in origin form (this second
  // pass checks the version too).
  settings.proxyHost.clear();
  settings.proxyPort.clear();
  direct.Run();
  EXPECT_TRUE(direct.LastPassReceived());
  EXPECT_EQ(site.Hits(TestSite::kFeed), 1);
  EXPECT_EQ(origin.RequestLines(),
            (std::vector<std::string>{
                "GET /index.php?api_lang=ru&localidad=235712&affiliate_id=qk3d8w2mzx7e&v=2&h=1 HTTP/1.1",
                "GET /currency_base/daily/ HTTP/1.1", "HEAD /soft/corv.exe HTTP/1.1"}));
  EXPECT_EQ(client.proxyServer + client.proxyUsername + client.proxyPassword, "");
}

TEST_F(RefreshPassTest, PassesAskedForDuringAPassRunOnceAfterIt) {
  // Timer3 reaching its period, the menu item and the dialog's OK all ask from inside the
  // pump; the requests fold into one pass that starts when the running one has ended.
  struct Switch : Timer {
    void SetEnabled(bool enabled) override { on = enabled; }
    bool on = true;
  } timer3;
  settings.refreshPeriodIndex = 0;
  RefreshTimers timers{host, timer3, settings, [this] { pass.Run(); }};
  for (int i = 0; i < 10799; ++i) timers.OnPeriodicTick();
  int depth = 0, maxDepth = 0, asks = 0;
  host.onPump = [&] {
    if (asks == 3) return;
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (asks++ == 0) {
      timers.OnPeriodicTick();
      EXPECT_TRUE(timer3.on);  // its own pass was only noted, so it runs on at once
    } else {
      pass.Run();
    }
    --depth;
  };
  pass.Run();
  EXPECT_EQ(asks, 3);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(host.Count("online?"), 2);
  EXPECT_EQ(site.Hits(TestSite::kFeed), 2);
  EXPECT_EQ(site.Hits(TestSite::kRates), 2);
  // The second pass began only after the first had shown its outcome.
  const auto second = std::find(host.journal.begin() + 1, host.journal.end(), "online?");
  EXPECT_EQ(*(second - 1), "notice");
  EXPECT_FALSE(pass.Running());
  EXPECT_EQ(timers.TickCount(), 0);
}

TEST_F(RefreshPassTest, PassAskedForDuringAFailingPassIsDropped) {
  // The error goes to the application's handler at once; the noted pass would fail the same way.
  settings.locationIndex = -1;
  host.onPump = [&] { pass.Run(); };
  EXPECT_THROW(pass.Run(), Error);
  EXPECT_EQ(host.Count("online?"), 1);
  host.onPump = nullptr;
  settings.locationIndex = 0;
  pass.Run();
  EXPECT_EQ(host.Count("online?"), 2);
  EXPECT_TRUE(pass.LastPassReceived());
}

TEST_F(RefreshPassTest, PassAskedForWhileTheClientWaitsIsNotNested) {
  // The client pumps while it waits for a late body; a pass asked for there must not make a
  // request of its own in the middle of the running one.
  settings.rateUsd = settings.rateEur = false;
  const std::string feed = FeedDocument();
  ScriptedServer slow;
  slow.Then([&](ServerConnection& c) {
    for (int i = 0; i < 2; ++i) {
      if (c.ReadRequest().empty()) return;
      c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(feed.size()) + "\r\n\r\n");
      c.Pause(250);
      c.Send(feed);
    }
    // The second pass ends with the version check.
    if (!c.ReadRequest().empty()) c.Send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
  });
  settings.proxyPort = std::to_string(slow.port());
  http.timings.idleSliceMs = 20;
  int asked = 0;
  http.pump = [&] {
    if (asked++ == 0) pass.Run();
  };
  pass.Run();
  EXPECT_GE(asked, 1);
  EXPECT_EQ(host.Count("online?"), 2);
  ASSERT_EQ(slow.requests().size(), 3u);
  EXPECT_EQ(slow.requests()[2].substr(0, 5), "HEAD ");
  EXPECT_EQ(slow.connections(), 1);
  EXPECT_EQ(pass.Snapshot().hintText,
            Cp("Corvella\rСейчас 12° Облачно\rЗавтра от 5° до 14°\rПослезавтра от 3° до 11°\r"));
}

}  // namespace
}  // namespace corvella
