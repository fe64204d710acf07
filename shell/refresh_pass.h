// One refresh pass: fetch the forecast and the rates, compose the tray hint and
// hand everything the user sees to the host window. Portable: the window, its timers and
// its message pump are behind RefreshHost and Timer, so a whole pass runs in a test.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "retrieval/forecast_snapshot.h"
#include "shell/refresh_timers.h"
#include "retrieval/version_check.h"

namespace corvella {

class HttpClient;
class SettingsStore;
class LocationCatalogue;
struct AppSettings;

inline constexpr int kFetchAttempts = 3;
inline constexpr int kFailedAttemptSleepMs = 99;
inline constexpr int kSummaryNoticeSeconds = 10;

// Entries of the tray icon's image list the pass chooses from.
inline constexpr int kIconPlain = 1;
inline constexpr int kIconWithDigits = 2;
inline constexpr int kIconDigitsOnly = 3;

// Thrown by the host's message pump once the program is closing: from the pass's own pumps
// and from the client's waits and status events. It is no failure (not a std::exception, so no
// handler of network errors takes it): the pass ends at once, whatever step it is in.
struct ProgramClosing {};

// What the pass needs of the main window. Notices (the summary and the news of a newer
// build) go through the NoticeSink part, as balloons from the tray icon.
class RefreshHost : public NoticeSink {
 public:
  // Whether the machine has a connection at all; a pass does nothing without one.
  virtual bool IsOnline() = 0;
  // The tray icon's tooltip.
  virtual void SetHint(const std::string& text) = 0;
  // The menu item "Получить сведения".
  virtual void SetRefreshItemEnabled(bool enabled) = 0;
  // Handles the messages waiting in the queue, once. Menu commands, dialog buttons and
  // timers may ask for a pass from in here; the pass runs it when it is done. Throws
  // ProgramClosing once the program is closing.
  virtual void PumpMessages() = 0;
  // Redraws the tray icon's digit entries from temperatureText and iconText.
  virtual void PaintTrayDigits(const ForecastSnapshot& snapshot) = 0;
  // Redraws the widget, shown or not, from signedText and skyCondition.
  virtual void RefreshFace(const ForecastSnapshot& snapshot) = 0;
  // Shows the widget and checks its menu item.
  virtual void ShowWidget() = 0;
  virtual void SetIconIndex(int index) = 0;
  // The pause between failed attempts, as long as asked; the real window handles its
  // messages meanwhile, the moment they come.
  virtual void Sleep(int milliseconds) = 0;
};

class RefreshPass {
 public:
  // Everything is borrowed and must outlive the pass. `settings` is read live at each
  // step; only the widget's "Индикатор" is read from `store`. `timer1` is the one-shot
  // retry timer. The pass leaves the client's own pump alone: the owner points it at the
  // same message pump as the host's (AttachPump).
  RefreshPass(RefreshHost& host, Timer& timer1, HttpClient& http, const AppSettings& settings,
              SettingsStore& store, const LocationCatalogue& catalogue, const Clock& clock,
              const OwnFileDate& ownFileDate);
  RefreshPass(const RefreshPass&) = delete;
  RefreshPass& operator=(const RefreshPass&) = delete;

  // One pass. Asked for while a pass runs (from inside the message pump), it only notes the
  // request: the running pass then runs one more pass when it is done, however many requests
  // came. Proxy-port and location errors leave as corvella::Error after "Получить сведения"
  // is enabled again (a pass noted meanwhile is dropped); network failures never leave.
  // ProgramClosing thrown from a pump ends the pass at once and quietly.
  void Run();

  bool Running() const { return running_; }
  // Whether the last pass that ran received the forecast or the rates page.
  bool LastPassReceived() const { return lastReceived_; }
  const ForecastSnapshot& Snapshot() const { return snapshot_; }
  bool NoticeShown() const { return noticeShown_; }
  bool VersionChecked() const { return versionChecked_; }

 private:
  void RunOnce();
  void ApplyProxy();
  std::string FetchWithRetries(const std::function<std::string()>& attempt);
  void ForecastSteps(const std::string& forecast);
  void AppendDayLine(const DayRange& range, std::string_view prefix, std::string& minText, std::string& maxText);
  void KeepPlace(int locationIndex, const std::string& feedId);
  void Outcome();

  RefreshHost& host_;
  Timer& timer1_;
  HttpClient& http_;
  const AppSettings& settings_;
  SettingsStore& store_;
  const LocationCatalogue& catalogue_;
  const Clock& clock_;
  const OwnFileDate& ownFileDate_;

  ForecastSnapshot snapshot_;
  // The hint as the last forecast left it, before any currency line: a pass that gets only
  // the rates puts its lines after this instead of after the previous pass's lines.
  std::string forecastPart_;
  bool noticeShown_ = false;
  bool versionChecked_ = false;
  bool receivedBefore_ = false;  // a pass of this run has received the forecast or the rates
  bool running_ = false;
  bool requested_ = false;
  bool lastReceived_ = false;
};

// Points the client at the host's message pump, as the main window does: the pump runs in every
// idle slice of the client's waits and once on each of its status events.
void AttachPump(HttpClient& http, RefreshHost& host);

// The proxy port of the settings as a number: an optional sign and decimal digits within the
// range of int, else "'%s' is not a valid integer value".
int ProxyPortNumber(std::string_view text);

}  // namespace corvella
