#include "shell/refresh_pass.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "common/date_time.h"
#include "common/error.h"
#include "common/text_literal.h"
#include "retrieval/currency_rates.h"
#include "retrieval/rate_details.h"
#include "retrieval/http_client.h"
#include "retrieval/weather_feed.h"
#include "shell/app_names.h"
#include "shell/app_settings.h"
#include "shell/location_catalogue.h"
#include "shell/settings_store.h"

namespace corvella {
namespace {

constexpr char kCr = '\r';
constexpr std::string_view kDegree = "°"_cp;
constexpr std::string_view kLoadingText = "загрузка данных..."_cp;
constexpr std::string_view kNowPrefix = "Сейчас "_cp;
constexpr std::string_view kTomorrowPrefix = "Завтра от "_cp;
constexpr std::string_view kDayAfterPrefix = "Послезавтра от "_cp;
constexpr std::string_view kRangeMiddle = "° до "_cp;
constexpr std::string_view kInvalidInteger = "'%s' is not a valid integer value";

bool HasDegree(const std::string& text) { return text.find(kDegree) != std::string::npos; }

CurrencyFlags CurrencyFlagsOf(const AppSettings& s) {
  CurrencyFlags flags{};
  for (std::size_t i = 0; i < kCurrencyCount; ++i) flags[i] = s.*kRateFlags[i];
  return flags;
}

bool AnySelected(const CurrencyFlags& flags) {
  for (bool on : flags) {
    if (on) return true;
  }
  return false;
}

std::string TwoDigits(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

}  // namespace

void AttachPump(HttpClient& http, RefreshHost& host) {
  http.pump = [&host] { host.PumpMessages(); };
  http.onStatus = [&host](HttpClient&, HttpStatus, const std::string&) { host.PumpMessages(); };
}

int ProxyPortNumber(std::string_view text) {
  const std::optional<int> port = ParseStoredInteger(text);
  if (!port) throw Error(FillMessage(kInvalidInteger, text));
  return *port;
}

RefreshPass::RefreshPass(RefreshHost& host, Timer& timer1, HttpClient& http, const AppSettings& settings,
                         SettingsStore& store, const LocationCatalogue& catalogue, const Clock& clock,
                         const OwnFileDate& ownFileDate)
    : host_(host),
      timer1_(timer1),
      http_(http),
      settings_(settings),
      store_(store),
      catalogue_(catalogue),
      clock_(clock),
      ownFileDate_(ownFileDate) {}

void RefreshPass::Run() {
  if (running_) {
    // The client serves one request at a time: never start a pass inside a pass.
    requested_ = true;
    return;
  }
  running_ = true;
  try {
    do {
      requested_ = false;
      RunOnce();
    } while (requested_);
  } catch (const ProgramClosing&) {
    // The program is closing: nothing more of this pass, nor of a pass noted meanwhile.
    running_ = false;
    requested_ = false;
    return;
  } catch (...) {
    running_ = false;
    requested_ = false;
    // The pass stopped between disabling the menu item and the outcome; without this the
    // user could not ask for another pass until a timer's pass got through.
    host_.SetRefreshItemEnabled(true);
    throw;
  }
  running_ = false;
}

void RefreshPass::RunOnce() {
  lastReceived_ = false;
  if (!host_.IsOnline()) return;

  std::string loading(kProductName);
  loading += kCr;
  loading += kLoadingText;
  host_.SetHint(loading);
  host_.SetRefreshItemEnabled(false);
  host_.PumpMessages();
  timer1_.SetEnabled(false);

  ApplyProxy();
  // The place is taken once: the dialog may choose another while the pass waits.
  const int locationIndex = settings_.locationIndex;
  const std::string feedId = catalogue_.FeedIdAt(locationIndex);

  const std::string forecast = FetchWithRetries([&] {
    const std::string url = BuildFeedUrl(feedId);
    ApplyFeedRequestSettings(http_);
    return DecodeFeedBody(http_.Get(url));
  });
  if (!forecast.empty()) {
    ForecastSteps(forecast);
    KeepPlace(locationIndex, feedId);
  } else if (feedId != snapshot_.feedId) {
    // Another place and nothing of it yet: the window must not show the old place's rows.
    snapshot_.hours.clear();
    snapshot_.days.clear();
    snapshot_.region.clear();
    snapshot_.place.clear();
    snapshot_.updatedAt.clear();
    snapshot_.feedId.clear();
  }

  bool ratesReceived = false;
  const CurrencyFlags flags = CurrencyFlagsOf(settings_);
  if (AnySelected(flags)) {
    const std::string body = FetchWithRetries([&] { return http_.Get(RatesPageUrl()); });
    const RatesSnapshot rates = ExtractRates(body, flags);
    ratesReceived = rates.pageReceived;
    if (ratesReceived) {
      // Replace the previous pass's currency lines rather than adding to them.
      snapshot_.hintText = forecastPart_;
      snapshot_.rateLines.clear();
      for (const RateLine& line : rates.rateLines) {
        snapshot_.rateLines.push_back(line.label + line.value);
        snapshot_.hintText += kCr;
        snapshot_.hintText += snapshot_.rateLines.back();
      }
      snapshot_.rateDetails = ExtractRateDetails(body, flags);
    }
  }

  host_.SetHint(snapshot_.hintText.empty() ? std::string(kProductName) : snapshot_.hintText);

  lastReceived_ = !forecast.empty() || ratesReceived;
  if (lastReceived_) {
    Outcome();
  } else {
    timer1_.SetEnabled(true);
  }
}

void RefreshPass::ApplyProxy() {
  if (settings_.proxyPort.empty() && settings_.proxyHost.empty()) {
    // Both fields cleared: no proxy from now on. Keeping the earlier one would leave every pass
    // failing, until a restart, once that proxy is gone.
    http_.proxyServer.clear();
    http_.proxyPort = 0;
    http_.proxyUsername.clear();
    http_.proxyPassword.clear();
    return;
  }
  // Converted first, so a bad port leaves the client as it was.
  const int port = ProxyPortNumber(settings_.proxyPort);
  http_.proxyUsername = settings_.proxyUser;
  http_.proxyPassword = settings_.proxyPassword;
  http_.proxyServer = settings_.proxyHost;
  http_.proxyPort = port;
}

std::string RefreshPass::FetchWithRetries(const std::function<std::string()>& attempt) {
  std::string text;
  int failures = 0;
  bool done = false;
  do {
    done = false;
    try {
      text = attempt();
      done = true;
    } catch (const std::exception&) {
      // Network trouble is never shown; a fresh connection for the next attempt.
      text.clear();
      http_.Disconnect();
      ++failures;
      host_.Sleep(kFailedAttemptSleepMs);
    }
    host_.PumpMessages();
  } while (!done && failures < kFetchAttempts);
  return text;
}

void RefreshPass::ForecastSteps(const std::string& forecast) {
  ForecastSnapshot& s = snapshot_;
  s.temperatureText.clear();
  s.iconText.clear();
  host_.SetHint(std::string(kProductName));

  // The document's hours and days are the place's own; when it says how far the place is from
  // UTC they are read by the place's clock, else (an older server) by the computer's. This one
  // reading serves everything cut from this document.
  s.placeUtcOffset = ExtractUtcOffset(forecast);
  s.placeNow = s.placeUtcOffset ? WallClockAt(clock_, *s.placeUtcOffset) : clock_.LocalNow();
  const CivilTime now = s.placeNow;
  ForecastReading reading = ReadForecast(forecast, TwoDigits(now.hour), now.date);
  std::string nowText;
  if (settings_.showCurrentTemperature) {
    const CurrentReading& current = reading.current;
    s.temperatureText = current.temperatureText;
    s.signedText.clear();
    s.skyCondition = current.skyCondition;
    if (TemperatureOnIconEffective(settings_)) {
      if (HasDegree(s.temperatureText)) {
        s.iconText = DeriveIconText(s.temperatureText);
        s.signedText = DeriveSignedText(s.iconText);
      }
      host_.PaintTrayDigits(s);
    }
    if (HasDegree(s.temperatureText)) {
      nowText = kNowPrefix;
      nowText += s.temperatureText;
    }
  }

  s.hintText = kProductName;
  s.hintText += kCr;
  s.hintText += nowText;
  s.hintText += ' ';
  s.hintText += s.skyCondition;
  s.hintText += kCr;

  s.tomorrowMin.clear();
  s.tomorrowMax.clear();
  s.dayAfterMin.clear();
  s.dayAfterMax.clear();
  if (settings_.forecastTomorrow) AppendDayLine(reading.tomorrow, kTomorrowPrefix, s.tomorrowMin, s.tomorrowMax);
  if (settings_.forecastDayAfter) AppendDayLine(reading.dayAfter, kDayAfterPrefix, s.dayAfterMin, s.dayAfterMax);
  forecastPart_ = s.hintText;

  s.hours = std::move(reading.hours);
  s.days = std::move(reading.days);
  // When the user last had news is told by the user's own clock, wherever the place is.
  const CivilTime refreshed = clock_.LocalNow();
  s.updatedAt = TwoDigits(refreshed.hour) + ":" + TwoDigits(refreshed.minute);

  host_.RefreshFace(s);
  if (store_.ReadBool(kSettingsSection, kValueWidgetShown, true)) host_.ShowWidget();
}

void RefreshPass::KeepPlace(int locationIndex, const std::string& feedId) {
  const LocationEntry entry = catalogue_[static_cast<std::size_t>(locationIndex)];
  snapshot_.feedId = feedId;
  snapshot_.region = entry.region;
  snapshot_.place = entry.place;
}

void RefreshPass::AppendDayLine(const DayRange& range, std::string_view prefix, std::string& minText,
                                std::string& maxText) {
  minText = range.min;
  maxText = range.max;
  // Half a range would read as a broken line; the day is left out instead.
  if (minText.empty() || maxText.empty()) return;
  std::string& hint = snapshot_.hintText;
  hint += prefix;
  hint += minText;
  hint += kRangeMiddle;
  hint += maxText;
  hint += kDegree;
  hint += kCr;
}

void RefreshPass::Outcome() {
  int icon = TemperatureOnIconEffective(settings_) ? kIconWithDigits : kIconPlain;
  if (DigitsOnlyEffective(settings_)) icon = kIconDigitsOnly;
  host_.SetIconIndex(icon);
  host_.SetRefreshItemEnabled(true);

  // The news of a newer build waits for a later pass than the first that received anything in
  // this run, whether the summary is on or not, and never comes in the summary's own pass, so
  // that two balloons never come at once.
  const bool summaryNow = settings_.notifyOnConnect && !noticeShown_;
  if (settings_.checkForUpdates && !versionChecked_ && receivedBefore_ && !summaryNow) {
    try {
      CheckVersion(http_, ownFileDate_, host_);
      versionChecked_ = true;
    } catch (const std::exception&) {
      // Not possible this time; a later pass asks again.
    }
  }

  receivedBefore_ = true;
  if (summaryNow) {
    // The summary is the hint without its title line. A hint that has no title line (only
    // rates so far) is shown whole rather than cut in the middle of a rate.
    std::string_view text = snapshot_.hintText;
    if (text.size() > kProductName.size() && text.starts_with(kProductName) &&
        text[kProductName.size()] == kCr) {
      text.remove_prefix(kProductName.size() + 1);
    }
    host_.ShowNotice(std::string(kProductName), std::string(text), NoticeKind::Info, kSummaryNoticeSeconds);
    noticeShown_ = true;
  }
}

}  // namespace corvella
