// The update check against a loopback server reached as the program's proxy: the published
// file's date against our own plus a day, in a zone away from UTC.
#include "retrieval/version_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "common/clock.h"
#include "common/text_literal.h"
#include "retrieval/http_client.h"
#include "retrieval/servers.h"
#include "tests/retrieval/support/scripted_server.h"

namespace corvella {
namespace {

class FixedFileDate : public OwnFileDate {
 public:
  explicit FixedFileDate(DateTime date) : date_(date) {}
  DateTime Read() const override { return date_; }

 private:
  DateTime date_;
};

class UnreadableFileDate : public OwnFileDate {
 public:
  DateTime Read() const override { throw Error("Invalid argument to date encode"); }
};

struct Notice {
  std::string title, text;
  NoticeKind kind;
  int seconds;
};

class RecordingNotices : public NoticeSink {
 public:
  void ShowNotice(const std::string& title, const std::string& text, NoticeKind kind, int seconds) override {
    shown.push_back(Notice{title, text, kind, seconds});
  }
  std::vector<Notice> shown;
};

// "Wed, 02 Dec 2026 21:00:00 GMT" for a moment given in UTC.
std::string HttpDate(DateTime utc) {
  static const char* const kDays[] = {"Sat", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  CivilTime t = DecodeDateTime(utc);
  auto day = static_cast<long long>(std::floor(utc));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[((day % 7) + 7) % 7],
                t.date.day, kMonths[t.date.month - 1], t.date.year, t.hour, t.minute, t.second);
  return buf;
}

std::string HeadAnswer(std::string_view lastModifiedHeader) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 4096\r\n" +
         std::string(lastModifiedHeader) + "\r\n";
}

std::string Published(DateTime utc) { return HeadAnswer("Last-Modified: " + HttpDate(utc) + "\r\n"); }

constexpr double kHour = 1.0 / 24;
constexpr double kSecond = 1.0 / 86400;

class VersionCheck : public ::testing::Test {
 protected:
  explicit VersionCheck(double offsetDays = 3 * kHour)
      : clock_(CivilTime{{2026, 12, 7}, 9, 0, 0}, offsetDays),
        offset_(offsetDays),
        client_(*sockets_, clock_) {
    client_.proxyServer = "127.0.0.1";
    client_.proxyPort = server_.port();
  }

  // Runs one check against `answer`; the number of notices it showed.
  std::size_t Check(DateTime own, const OwnFileDate* date = nullptr) {
    FixedFileDate fixed(own);
    std::size_t before = notices_.shown.size();
    CheckVersion(client_, date ? *date : fixed, notices_);
    return notices_.shown.size() - before;
  }

  // Our own executable: 2026-12-01 12:34:56 local time.
  const DateTime own_ = EncodeDateTime(CivilTime{{2026, 12, 1}, 12, 34, 56});
  DateTime OwnUtc() const { return own_ - offset_; }

  std::unique_ptr<SocketLayer> sockets_ = MakeSystemSocketLayer();
  ScriptedServer server_{*sockets_};
  FixedClock clock_;
  double offset_;
  HttpClient client_;
  RecordingNotices notices_;
};

TEST_F(VersionCheck, NewerBuildShowsTheNoticeOnce) {
  server_.ThenAnswer({Published(OwnUtc() + 36 * kHour)});
  EXPECT_EQ(Check(own_), 1u);
  ASSERT_EQ(notices_.shown.size(), 1u);
  const Notice& n = notices_.shown[0];
  EXPECT_EQ(n.title, "Corvella");
  EXPECT_EQ(n.text, std::string("Обнаружена новая версия программы!"_cp) + "\r" +
                        std::string("На сайте "_cp) + std::string(kSiteHost));
  EXPECT_EQ(n.kind, NoticeKind::Info);
  EXPECT_EQ(n.seconds, 10);
  // A HEAD of the update file, in the proxy's absolute form.
  ASSERT_EQ(server_.requests().size(), 1u);
  std::string line = "HEAD http://" + std::string(kSiteHost) + ":80/soft/corv.exe HTTP/1.1\r\n";
  EXPECT_EQ(server_.requests()[0].substr(0, line.size()), line);
}

TEST_F(VersionCheck, NotMoreThanADayNewerShowsNothing) {
  server_.ThenAnswer({Published(OwnUtc() + 23 * kHour), Published(OwnUtc() - 40 * kHour), Published(OwnUtc()),
                      Published(OwnUtc() + 1.0), Published(OwnUtc() + 1.0 + kSecond)});
  EXPECT_EQ(Check(own_), 0u);  // 23 hours later
  EXPECT_EQ(Check(own_), 0u);  // older
  EXPECT_EQ(Check(own_), 0u);  // the same moment
  EXPECT_EQ(Check(own_), 0u);  // exactly a day later
  EXPECT_EQ(Check(own_), 1u);  // a day and a second later
}

// Exactly one day later never tips over, whatever the times of day and the zone.
class VersionCheckZones : public VersionCheck, public ::testing::WithParamInterface<double> {
 protected:
  VersionCheckZones() : VersionCheck(GetParam()) {}
};

TEST_P(VersionCheckZones, ExactlyOneDayLaterIsNotLater) {
  std::vector<std::string> answers;
  std::vector<DateTime> owns;
  for (int i = 0; i < 40; ++i) {
    // Even seconds all over the day, as file dates have them.
    DateTime own =
        EncodeDateTime(CivilTime{{2026, 3, 1 + i % 28}, (i * 7) % 24, (i * 13) % 60, (i * 34) % 60});
    owns.push_back(own);
    answers.push_back(Published(own - offset_ + 1.0));
    answers.push_back(Published(own - offset_ + 1.0 + kSecond));
  }
  server_.ThenAnswer(answers);
  for (DateTime own : owns) {
    EXPECT_EQ(Check(own), 0u) << HttpDate(own);
    EXPECT_EQ(Check(own), 1u) << HttpDate(own);
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, VersionCheckZones,
                         ::testing::Values(3 * kHour, -7 * kHour, 5.75 * kHour, 0.0));

TEST_F(VersionCheck, NoUsableDateCompletesWithoutNotice) {
  server_.ThenAnswer({HeadAnswer(""), HeadAnswer("Last-Modified: yesterday\r\n"),
                      HeadAnswer("Last-Modified: Wed, 32 Dec 2026 99:00:00 GMT\r\n")});
  EXPECT_EQ(Check(own_), 0u);
  EXPECT_EQ(Check(own_), 0u);
  EXPECT_EQ(Check(own_), 0u);
}

TEST_F(VersionCheck, FailuresLeaveAsErrorsWithoutNotice) {
  server_.ThenAnswer({"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", Published(OwnUtc() + 3.0)});
  try {
    Check(own_);
    ADD_FAILURE() << "no error";
  } catch (const HttpError& e) {
    EXPECT_EQ(e.statusCode(), 404);
    EXPECT_STREQ(e.what(), "HTTP/1.1 404 Not Found");
  }
  // The request went well, but our own date cannot be read.
  UnreadableFileDate unreadable;
  try {
    Check(own_, &unreadable);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Invalid argument to date encode");
  }
  EXPECT_TRUE(notices_.shown.empty());
}

TEST_F(VersionCheck, RedirectLimitUsesTheLastRedirectsDate) {
  client_.redirectMaximum = 2;
  server_.ThenAnswer({"HTTP/1.1 302 Found\r\nLocation: /soft/a.exe\r\nContent-Length: 0\r\n\r\n",
                      "HTTP/1.1 302 Found\r\nLocation: /soft/b.exe\r\nContent-Length: 0\r\nLast-Modified: " +
                          HttpDate(OwnUtc() + 2.0) + "\r\n\r\n"});
  EXPECT_EQ(Check(own_), 1u);
  EXPECT_EQ(server_.requests().size(), 2u);
}

}  // namespace
}  // namespace corvella
