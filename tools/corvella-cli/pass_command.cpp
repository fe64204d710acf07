// "pass": real refresh passes with the console as the window and the settings held in
// memory; prints the resulting tray hint, one line per line of the hint, and each balloon
// notice as a line on stderr. A status-bar module of a Linux desktop can call it as its
// informer; --passes N runs N passes with the same client and run flags, so that what happens
// across passes (the summary, the update check, cookies, keep-alive) can be watched.
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "common/clock.h"
#include "common/cp1251.h"
#include "common/date_time.h"
#include "common/error.h"
#include "retrieval/currencies.h"
#include "retrieval/http_client.h"
#include "shell/refresh_pass.h"
#include "retrieval/socket.h"
#include "retrieval/version_check.h"
#include "shell/app_settings.h"
#include "shell/autostart.h"
#include "shell/location_catalogue.h"
#include "shell/memory_settings_store.h"
#include "tools/corvella-cli/commands.h"

namespace corvella::cli {

void PrintUtf8(std::FILE* out, std::string_view cp1251) {
  const std::string text = Cp1251ToUtf8(cp1251);
  std::fwrite(text.data(), 1, text.size(), out);
}

namespace {

constexpr std::string_view kPassUsage =
    "[--proxy HOST:PORT] [--location N] [--now \"YYYY-MM-DD HH:MM[+HH:MM]\"] [--passes N] [--set NAME=VALUE]...";
constexpr int kMaxPasses = 100;

// The value names a pass reads; --set takes these and every currency's (the registry's names,
// in UTF-8 on the command line).
constexpr std::string_view kSettableNames[] = {
    kValueLocationIndex,     kValueTemperatureColor,   kValueShowCurrentTemperature,
    kValueTemperatureOnIcon, kValueDigitsOnly,         kValueNotifyOnConnect,
    kValueCheckForUpdates,   kValueRefreshPeriodIndex, kValueForecastTomorrow,
    kValueForecastDayAfter,  kValueProxyUser,          kValueProxyPassword,
    kValueProxyHost,         kValueProxyPort,          kValueWidgetShown,
};

// The console as the window: the hint is kept for printing, notices go to stderr.
class ConsoleHost : public RefreshHost, public Timer {
 public:
  bool IsOnline() override { return true; }
  void SetHint(const std::string& text) override { hint = text; }
  void SetRefreshItemEnabled(bool) override {}
  void PumpMessages() override {}
  void PaintTrayDigits(const ForecastSnapshot&) override {}
  void RefreshFace(const ForecastSnapshot&) override {}
  void ShowWidget() override {}
  void SetIconIndex(int) override {}
  void Sleep(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  void ShowNotice(const std::string& title, const std::string& text, NoticeKind, int) override {
    PrintUtf8(stderr, title);
    std::fputs(": ", stderr);
    std::string flat = text;
    for (char& c : flat) c = c == '\r' ? ' ' : c;
    PrintUtf8(stderr, flat);
    std::fputc('\n', stderr);
  }
  void SetEnabled(bool) override {}  // Timer1: a console pass is never retried

  std::string hint;
};

// The wall clock of a computer, and its offset from UTC when given ("+03:00", "-05:30").
struct PassNow {
  CivilTime time;
  std::optional<double> utcOffsetDays;
};

std::optional<PassNow> ParseNow(std::string_view text) {
  int year, month, day, hour, minute, used = 0;
  const std::string s(text);
  if (std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d%n", &year, &month, &day, &hour, &minute, &used) != 5) {
    return std::nullopt;
  }
  PassNow now;
  const std::string_view zone = std::string_view(s).substr(static_cast<std::size_t>(used));
  if (!zone.empty()) {
    auto digit = [&](std::size_t i) { return zone[i] >= '0' && zone[i] <= '9' ? zone[i] - '0' : -100; };
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':') return std::nullopt;
    const int offsetHours = digit(1) * 10 + digit(2);
    const int offsetMinutes = digit(4) * 10 + digit(5);
    if (offsetHours < 0 || offsetHours > 14 || offsetMinutes < 0 || offsetMinutes > 59) return std::nullopt;
    const int minutes = offsetHours * 60 + offsetMinutes;
    now.utcOffsetDays = (zone[0] == '-' ? -minutes : minutes) / 1440.0;
  }
  if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59) {
    return std::nullopt;
  }
  const CivilDate date{year, month, day};
  const CivilDate normal = CivilFromDays(DaysFromCivil(year, month, day));
  if (normal.month != month || normal.day != day) return std::nullopt;  // 2024-02-30 and the like
  now.time = CivilTime{date, hour, minute, 0};
  return now;
}

bool IsSettable(std::string_view name) {
  for (std::string_view known : kSettableNames) {
    if (known == name) return true;
  }
  for (const CurrencyRow& currency : kCurrencies) {
    if (currency.valueName == name) return true;
  }
  return false;
}

void PrintHint(std::string_view hint) {
  for (;;) {
    const std::size_t cr = hint.find('\r');
    PrintUtf8(stdout, hint.substr(0, cr));
    std::fputc('\n', stdout);
    if (cr == std::string_view::npos) break;
    hint.remove_prefix(cr + 1);
  }
  std::fflush(stdout);
}

}  // namespace

int RunPasses(Args args, std::string_view command,
              const std::function<void(const RefreshPass&, const std::string&)>& show) {
  const std::string commandName(command);
  auto Usage = [&commandName](const char* problem) {
    std::fprintf(stderr, "corvella-cli %s: %s\nusage: corvella-cli %s %.*s\n", commandName.c_str(), problem,
                 commandName.c_str(), static_cast<int>(kPassUsage.size()), kPassUsage.data());
    return 2;
  };
  MemorySettingsStore store;
  std::optional<PassNow> now;
  int passes = 1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (i + 1 >= args.size()) return Usage("an option without its value, or an unknown argument");
    const std::string_view value = args[++i];
    if (arg == "--proxy") {
      const std::size_t colon = value.rfind(':');
      if (colon == std::string_view::npos) return Usage("--proxy takes HOST:PORT");
      store.WriteString(kSettingsSection, kValueProxyHost, Utf8ToCp1251Lenient(value.substr(0, colon)));
      store.WriteString(kSettingsSection, kValueProxyPort, Utf8ToCp1251Lenient(value.substr(colon + 1)));
    } else if (arg == "--location") {
      if (!ParseStoredInteger(value)) return Usage("--location takes a row number");
      store.WriteString(kSettingsSection, kValueLocationIndex, value);
    } else if (arg == "--now") {
      now = ParseNow(value);
      if (!now) return Usage("--now takes a local time as \"YYYY-MM-DD HH:MM\", optionally with its offset from UTC (+03:00)");
    } else if (arg == "--passes") {
      const std::optional<int> n = ParseStoredInteger(value);
      if (!n || *n < 1 || *n > kMaxPasses) return Usage("--passes takes a count from 1 to 100");
      passes = *n;
    } else if (arg == "--set") {
      const std::size_t equals = value.find('=');
      if (equals == std::string_view::npos) return Usage("--set takes NAME=VALUE");
      const std::string name = Utf8ToCp1251Lenient(value.substr(0, equals));
      if (!IsSettable(name)) return Usage("--set: not a setting's value name");
      store.WriteString(kSettingsSection, name, Utf8ToCp1251Lenient(value.substr(equals + 1)));
    } else {
      return Usage("an option without its value, or an unknown argument");
    }
  }

  std::unique_ptr<FixedClock> fixedClock;
  if (now) {
    // Without an offset the time is taken to be in the machine's own zone.
    fixedClock = std::make_unique<FixedClock>(now->time, now->utcOffsetDays.value_or(SystemClock().UtcOffsetDays()));
  }
  const Clock& clock = fixedClock ? static_cast<const Clock&>(*fixedClock) : SystemClock();

  AppSettings settings;
  MemoryAutostartEntry autostart;
  Loads(settings, store, autostart, "corvella-cli");
  const LocationCatalogue catalogue = LocationCatalogue::Embedded();
  std::unique_ptr<SocketLayer> sockets = MakeSystemSocketLayer();
  HttpClient http(*sockets, clock);
  const std::unique_ptr<OwnFileDate> ownDate = MakeOwnFileDate();
  ConsoleHost host;
  RefreshPass pass(host, host, http, settings, store, catalogue, clock, *ownDate);
  bool allReceived = true;
  for (int i = 1; i <= passes; ++i) {
    if (passes > 1) std::printf("== pass %d\n", i);
    try {
      pass.Run();
    } catch (const Error& e) {
      std::fflush(stdout);
      std::fprintf(stderr, "corvella-cli %s: ", commandName.c_str());
      PrintUtf8(stderr, e.what());
      std::fputc('\n', stderr);
      return 1;
    }
    show(pass, host.hint);
    allReceived = allReceived && pass.LastPassReceived();
  }
  return allReceived ? 0 : 1;
}

int RunPass(Args args) {
  return RunPasses(args, "pass", [](const RefreshPass&, const std::string& hint) { PrintHint(hint); });
}

}  // namespace corvella::cli
