// "corvella-cli pass" as a status-bar module would run it: one real pass against feedsim,
// the hint on stdout. What it prints is what feedsim's model says it served.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/date_time.h"
#include "retrieval/servers.h"
#include "tests/retrieval/feed_feedsim_process.h"
#include "tests/support/temp_path.h"
#include "tools/feedsim/sim_model.h"

namespace corvella {
namespace {

using testing_feedsim::FeedsimProcess;

constexpr CivilDate kToday{2026, 12, 7};

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

// Runs the tool's `sub` command with `arguments` (already quoted for the shell).
Outcome RunCli(const std::string& arguments, std::string_view sub = "pass") {
  const testing_support::TempPath errFile("corvella-cli-stderr");
  const std::string& errPath = errFile;
  const std::string command =
      std::string(CORVELLA_CLI_PATH) + " " + std::string(sub) + " " + arguments + " 2>" + errPath;
  Outcome outcome;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
  const int status = pclose(pipe);
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (std::FILE* err = std::fopen(errPath.c_str(), "rb")) {
    while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0) outcome.err.append(buffer, n);
    std::fclose(err);
  }
  return outcome;
}

std::string RateOf(const std::vector<feedsim::SimRate>& rates, std::string_view name) {
  auto it =
      std::find_if(rates.begin(), rates.end(), [&](const feedsim::SimRate& r) { return r.name == name; });
  return it == rates.end() ? "?" : it->rate;
}

class PassCommand : public ::testing::Test {
 protected:
  FeedsimProcess feedsim{{"--date", "2026-12-07"}};
  std::string proxy = "--proxy 127.0.0.1:" + std::to_string(feedsim.port());
};

TEST_F(PassCommand, PrintsTheHintOfWhatWasServed) {
  // Row 6333 is the second Bratsk, id 235712; Swiss francs added, euros taken away.
  const Outcome o =
      RunCli(proxy + " --location 6333 --now '2026-12-07 14:05' --set 'евро=0' --set 'гривен=1'");
  const feedsim::SimForecast served = feedsim::MakeForecast("235712", kToday, false);
  const feedsim::SimHour& hour = served.days[0].hours[14];
  ASSERT_EQ(hour.hour, 14);
  const std::vector<feedsim::SimRate> rates = feedsim::MakeRates(kToday);
  const std::string expected = "Corvella\nСейчас " + hour.temperature + "° " +
                               std::string(SkyWord(hour.sky)) + "\nЗавтра от " + served.days[1].min +
                               "° до " + served.days[1].max + "°\nПослезавтра от " + served.days[2].min +
                               "° до " + served.days[2].max + "°\n\nДоллар " + RateOf(rates, "Доллар США") +
                               "\nФранк " + RateOf(rates, "Швейцарский франк") + "\n";
  EXPECT_EQ(o.out, expected);
  EXPECT_EQ(o.exitCode, 0);
}

// "forecast" prints the window's lines of what was served: the now line with feels-like, wind,
// pressure and humidity, each hour from the current one, each day with its precipitation and wind.
TEST_F(PassCommand, ForecastPrintsTheWindowsLinesOfWhatWasServed) {
  const Outcome o = RunCli(proxy + " --location 6333 --now '2026-12-07 14:05'", "forecast");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const feedsim::SimForecast served = feedsim::MakeForecast("235712", kToday, false);
  const feedsim::SimHour& now = served.days[0].hours[14];
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < o.out.size(); at = end + 1) {
    end = o.out.find('\n', at);
    lines.push_back(o.out.substr(at, end - at));
  }
  ASSERT_GE(lines.size(), 2u + 1 + 24 + 1 + 5) << o.out;
  EXPECT_EQ(lines[0].rfind("Братск, ", 0), 0u) << lines[0];
  const std::string nowLine = lines[1];
  EXPECT_EQ(nowLine.rfind("Сейчас ", 0), 0u) << nowLine;
  for (const std::string& part :
       {" " + now.description + ", ощущается как ", ", " + std::to_string(now.pressure) + " мм рт. ст.",
        ", влажность " + std::to_string(now.humidity) + " %"}) {
    EXPECT_NE(nowLine.find(part), std::string::npos) << part << " in " << nowLine;
  }
  EXPECT_TRUE(now.wind.speed == 0 ? nowLine.find(", штиль") != std::string::npos
                                  : nowLine.find(" " + std::to_string(now.wind.speed) + " м/с, порывы " +
                                                 std::to_string(now.wind.gust)) != std::string::npos)
      << nowLine;
  const std::size_t firstHour = std::find(lines.begin(), lines.end(), "") - lines.begin() + 1;
  for (std::size_t k = 0; k < 24; ++k) {
    const feedsim::SimHour& h = served.days[(14 + k) / 24].hours[(14 + k) % 24];
    char hh[8];
    std::snprintf(hh, sizeof hh, "%02d:00 ", h.hour);
    EXPECT_EQ(lines[firstHour + k].substr(0, 6), hh);
    const bool wet = h.precip.amount != "0.0";
    EXPECT_EQ(lines[firstHour + k].find(" мм, " + std::to_string(h.precip.chance) + " %") != std::string::npos, wet)
        << lines[firstHour + k];
  }
  for (std::size_t d = 0; d < served.days.size(); ++d) {
    const std::string& line = lines[firstHour + 25 + d];
    EXPECT_NE(line.find(", " + std::to_string(served.days[d].precip.chance) + " %, ветер "), std::string::npos) << line;
    EXPECT_NE(line.find(" м/с, порывы " + std::to_string(served.days[d].wind.gust)), std::string::npos) << line;
  }
  // The rates close it as the window shows them: the rate, tomorrow's (feedsim has always
  // published it) and the month's lowest and highest.
  const auto dollar = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("Доллар ", 0) == 0; });
  ASSERT_NE(dollar, lines.end()) << o.out;
  for (const char* part : {" · завтра ", " от ", " до "}) EXPECT_NE(dollar->find(part), std::string::npos) << *dollar;
}

TEST_F(PassCommand, ExitCodeSaysWhetherAnythingCame) {
  // Only the forecast is asked for, without its current line.
  Outcome o =
      RunCli(proxy + " --now '2026-12-07 08:00' --set 'доллар=0' --set 'евро=0' --set 'температура=0'");
  const feedsim::SimForecast served = feedsim::MakeForecast("13564", kToday, false);
  EXPECT_EQ(o.out.substr(0, 11), "Corvella\n \n");
  EXPECT_NE(o.out.find("Завтра от " + served.days[1].min + "°"), std::string::npos);
  EXPECT_EQ(o.exitCode, 0);

  // Nobody listens on port 1: three attempts per document, then the bare product name.
  o = RunCli("--proxy 127.0.0.1:1 --now '2026-12-07 08:00'");
  EXPECT_EQ(o.out, "Corvella\n");
  EXPECT_EQ(o.exitCode, 1);

  // Errors of the settings end the pass before any request.
  o = RunCli("--proxy 127.0.0.1:x");
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.exitCode, 1);
  o = RunCli(proxy + " --location 25311");
  EXPECT_EQ(o.exitCode, 1);

  // Bad command lines.
  for (const char* bad : {"--now '2026-02-30 10:00'", "--now '2026-12-07 08:00+3:00'", "--set 'nonsense=1'", "--location x", "--set", "--help",
                          "--passes 0", "--passes x"}) {
    EXPECT_EQ(RunCli(bad).exitCode, 2) << bad;
  }
}

TEST(PassCommandPasses, SeveralPassesShareTheRunAndPrintTheirNotices) {
  // The summary is off by default; the news of a newer build comes on the second pass only.
  FeedsimProcess newer{{"--date", "2026-12-07", "--last-modified", "Tue, 01 Jan 2099 00:00:00 GMT"}};
  const Outcome o = RunCli("--proxy 127.0.0.1:" + std::to_string(newer.port()) +
                           " --passes 3 --now '2026-12-07 08:00' --set 'доллар=0' --set 'евро=0'");
  const std::string hint = o.out.substr(o.out.find('\n') + 1, o.out.find("== pass 2") - o.out.find('\n') - 1);
  EXPECT_EQ(o.out.substr(0, 19), "== pass 1\nCorvella\n");
  EXPECT_EQ(o.out, "== pass 1\n" + hint + "== pass 2\n" + hint + "== pass 3\n" + hint);
  EXPECT_EQ(o.err, "Corvella: Обнаружена новая версия программы! На сайте " + std::string(kSiteHost) + "\n");
  EXPECT_EQ(o.exitCode, 0);
}

TEST(PassCommandClocks, HoursAndDaysAreReadByThePlacesClockWhenTheDocumentStatesIt) {
  // A computer at `now` watching a place `offset` seconds from UTC; feedsim's "today" is the
  // place's date, as a real forecast for the place would have it.
  const struct {
    const char* now;
    const char* offset;
    CivilDate placeDate;
    int placeHour;
  } cases[] = {
      {"2026-12-07 06:25+03:00", "36000", {2026, 12, 7}, 13},   // ahead, the same day
      {"2026-12-07 23:30+03:00", "36000", {2026, 12, 8}, 6},    // ahead, already tomorrow there
      {"2026-12-07 22:00-05:00", "10800", {2026, 12, 8}, 6},    // a computer west of UTC
      {"2026-12-08 09:00+12:00", "10800", {2026, 12, 8}, 0},    // behind, its midnight
      {"2026-12-08 01:15+10:00", "7200", {2026, 12, 7}, 17},    // behind, still yesterday there
      {"2026-12-08 01:15+10:00", "none", {2026, 12, 8}, 1},     // no offset: the computer's clock
  };
  for (const auto& c : cases) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", c.placeDate.year, c.placeDate.month, c.placeDate.day);
    FeedsimProcess feedsim{{"--date", date, "--utc-offset", c.offset}};
    const Outcome o = RunCli("--proxy 127.0.0.1:" + std::to_string(feedsim.port()) + " --now '" + c.now +
                             "' --set 'доллар=0' --set 'евро=0'");
    const feedsim::SimForecast served = feedsim::MakeForecast("13564", c.placeDate, false);
    const feedsim::SimHour& hour = served.days[0].hours[static_cast<std::size_t>(c.placeHour)];
    EXPECT_EQ(o.out, "Corvella\nСейчас " + hour.temperature + "° " + std::string(SkyWord(hour.sky)) +
                         "\nЗавтра от " + served.days[1].min + "° до " + served.days[1].max +
                         "°\nПослезавтра от " + served.days[2].min + "° до " + served.days[2].max + "°\n\n")
        << c.now << " " << c.offset;
  }
}

}  // namespace
}  // namespace corvella
