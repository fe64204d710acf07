#include "shell/main_form_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "common/com_win32.h"
#include "common/cp1251.h"
#include "common/date_time.h"
#include "common/deadline.h"
#include "common/message_wait_win32.h"
#include "common/utf8_win32.h"
#include "presentation/digit_colour.h"
#include "presentation/pin_hint.h"
#include "presentation/taskbar_look_win32.h"
#include "presentation/tray_art_win32.h"
#include "presentation/tray_digits_win32.h"
#include "retrieval/servers.h"
#include "retrieval/version_check.h"
#include "shell/app_names.h"
#include "shell/error_box_win32.h"
#include "shell/file_version_win32.h"
#include "shell/live_counts_win32.h"
#include "shell/settings_dialog_layout.h"
#include "shell/single_instance_win32.h"

namespace corvella {
namespace {

constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kTimer3Id = 3;
constexpr UINT_PTR kWakeDelayId = 5;
constexpr UINT_PTR kConnectionWatchId = 6;
constexpr UINT_PTR kTimer4Id = 4;
constexpr UINT kTimer4IntervalMs = 1;  // once, as soon as the message loop runs

// The product's page on the maker's site, opened by "Обновить программу".
constexpr std::string_view kProductPagePath = "/page.asp?page=soft&id=116";

constexpr MenuItemSpec kTrayMenu[] = {
    {MenuItemKind::Default, kCommandProperties, kMenuProperties},
    {MenuItemKind::Check, kCommandOnTop, kMenuOnTop},
    {MenuItemKind::Check, kCommandWidget, kMenuWidget},
    {MenuItemKind::Separator, 0, {}},
    {MenuItemKind::Plain, kCommandRefresh, kMenuRefresh},
    {MenuItemKind::Plain, kCommandUpdate, kMenuUpdate},
    {MenuItemKind::Separator, 0, {}},
    {MenuItemKind::Plain, kCommandClose, kMenuClose},
};

}  // namespace

void WindowTimer::SetEnabled(bool enabled) {
  if (window_ == nullptr) return;
  if (enabled) {
    SetTimer(window_, id_, interval_, nullptr);
  } else {
    KillTimer(window_, id_);
  }
}

MainForm::MainForm(HINSTANCE instance, HWND applicationWindow)
    : instance_(instance),
      applicationWindow_(applicationWindow),
      autostart_(OpenRunKeyAutostart()),
      sockets_(MakeSystemSocketLayer()),
      http_(std::make_unique<HttpClient>(*sockets_)),
      ownFileDate_(MakeOwnFileDate()),
      timer1_(window_.get(), kTimer1Id, kRetryTimerIntervalMs),
      timer3_(window_.get(), kTimer3Id, kPeriodicTimerIntervalMs),
      wakeDelay_(window_.get(), kWakeDelayId, kWakeRefreshDelayMs),
      connectionWatch_(window_.get(), kConnectionWatchId, kConnectionWatchIntervalMs),
      timer4_(window_.get(), kTimer4Id, kTimer4IntervalMs) {
  // Owned by the application window, so a running instance's dialog never counts
  // as the instance itself. The window is the settings dialog: a dialog frame without
  // system menu or close box.
  // Without it (GetLastError tells why) the program still runs its passes; the icon is the
  // part that would say so.
  const std::wstring caption = ToWide(kDialogCaption);
  window_.Create(this, instance,
                 {.name = kWindowClass,
                  .cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),
                  .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
                 {.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                  .title = caption.c_str(),
                  .style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN,
                  .x = CW_USEDEFAULT,
                  .y = CW_USEDEFAULT,
                  .width = 480,
                  .height = 360,
                  .parent = applicationWindow});
  if (window_.get() != nullptr) suspendResume_ = std::make_unique<SuspendResumeNotification>(window_.get());
  dialog_ = std::make_unique<SettingsDialog>(instance, window_.get(), applicationWindow, settings_);
  dialog_->onOk = [this] {
    Guarded(window_.get(), [this] {
      Saves(settings_, *store_, *autostart_, WideToUtf8(OwnExecutablePath()));
      dialog_->Hide();
      if (pass_) pass_->Run();
    });
  };
  // Once the program is closing, the pump throws ProgramClosing, so that a pass in flight gives
  // up at once instead of finishing for nobody.
  AttachPump(*http_, *this);
  // The timers run before FormCreate, so an error box from it does not hold back the first
  // pass (1.5 s after start); the periodic counter ticks every second.
  timers_ = std::make_unique<RefreshTimers>(timer1_, timer3_, settings_, [this] {
    if (pass_) pass_->Run();
  });
  timer1_.SetEnabled(true);
  timer3_.SetEnabled(true);
  // An error of FormCreate ends FormCreate, but its box waits until the icon and the widget are
  // there: a pass that runs while the box is open draws the temperature, shows the widget and
  // the summary as at any other time.
  std::string startError;
  try {
    FormCreate();
  } catch (const std::exception& e) {
    startError = e.what();
  }
  FormShow();
  CreateWidget();
  timer4_.SetEnabled(true);
  if (!startError.empty()) ShowApplicationError(window_.get(), startError);
  if (!widget_->createError().empty()) ShowApplicationError(window_.get(), widget_->createError());
}

MainForm::~MainForm() {
  forecast_.reset();
  tray_.reset();
  widgetSwitches_.reset();
  widget_.reset();
  // Still whole here: its WM_DESTROY closes the program's side as when the user closes it.
  if (window_.get()) DestroyWindow(window_.get());
}

void MainForm::FormCreate() {
  if (AnotherInstanceRunning(applicationWindow_)) ExitProcess(0);
  tray_ = std::make_unique<TrayIcon>(instance_);
  tray_->onMenu = [this](bool fromKeyboard) { ShowPopupMenu(fromKeyboard); };
  tray_->onLeftDoubleClick = [this] { Guarded(window_.get(), [this] { OnLeftDoubleClick(); }); };
  tray_->onLeftClick = [this] {
    Guarded(window_.get(), [this] {
      // A press on the icon activates the taskbar; its release (a click) the icon's window.
      const auto tookActivation = [this](HWND activated) {
        return activated == tray_->window() || (PrimaryButtonDown() && tray_->PointerOnIcon());
      };
      ToggleForecast(tray_->IconRect(), {.tookActivation = tookActivation,
                                         .byKeyboard = tray_->FromKeyboard(),
                                         .giveBackFocus = [this] { tray_->GiveBackFocus(); }});
    });
  };
  tray_->onTaskbarCreated = [this] { FitTrayArt(); };
  menu_ = std::make_unique<PopupMenu>(kTrayMenu);

  catalogue_ = LocationCatalogue::Embedded();
  dialog_->FillLocations(catalogue_);
  dialog_->SetVersionLine(
      VersionLine(ReadFileVersion(OwnExecutablePath()), DecodeDateTime(ownFileDate_->Read()).date));
  store_ = OpenRegistrySettings();
  // A new pass starts with its once-per-run flags (connection notice, version check) clear.
  pass_ = std::make_unique<RefreshPass>(*this, timer1_, *http_, settings_, *store_, catalogue_, SystemClock(),
                                        *ownFileDate_);
  wake_ = std::make_unique<WakeRefresh>(
      wakeDelay_, connectionWatch_, [this] { return IsConnected(); }, [this] { pass_->Run(); });
  LoadsIntoDialog();
  menu_->SetChecked(kCommandOnTop, settings_.widgetOnTop);
  tray_->SetHint(kProductName);
}

// Whatever Loads has read is shown, also when it stops at a bad value.
void MainForm::LoadsIntoDialog() {
  try {
    Loads(settings_, *store_, *autostart_, WideToUtf8(OwnExecutablePath()));
  } catch (...) {
    dialog_->Fill();
    throw;
  }
  dialog_->Fill();
}

void MainForm::ShowSettingsDialog() {
  if (!store_) return;
  LoadsIntoDialog();
  dialog_->Show();
}

// The icon appears once the main window is loaded, showing the waiting picture.
void MainForm::FormShow() {
  if (!tray_) return;
  FitTrayArt();
  tray_->Show();
}

void MainForm::FitTrayArt() {
  if (!tray_ || !menu_) return;
  // The icon at the taskbar's size, the menu's glyph at the size where the taskbar is (the menu
  // opens there; ShowPopupMenu fits it again to the monitor under the mouse).
  const int iconSize = TrayIconPixelSize();
  if (iconSize == icons_.size() && iconSize == glyphSize_) return;
  // Both at the same size, the art is read once.
  std::optional<TrayArt> art = LoadTrayArtNearest(instance_, iconSize);
  FitMenuGlyph(iconSize, art);
  if (!art || art->weather.size == icons_.size()) return;
  icons_.SetArt(art->waiting, art->weather, glyphs_);
  SetIconIndex(iconIndex_);
}

// `art`, when given, was read for this size already.
void MainForm::FitMenuGlyph(int glyphSize, const std::optional<TrayArt>& art) {
  if (!menu_ || glyphSize == glyphSize_) return;
  const std::optional<TrayArt> glyph = art ? art : LoadTrayArtNearest(instance_, glyphSize);
  if (!glyph) return;
  glyphSize_ = glyphSize;
  menu_->SetGlyph(kCommandUpdate, MakeIcon(EntryFromArt(glyph->glyph)),
                  std::min(glyph->glyph.size, glyphSize));
}

void MainForm::FormClose() {
  closing_ = true;
  // The first-run marker is written only on this way out.
  if (store_) Guarded(window_.get(), [this] { MarkFirstRunOver(*store_); });
  DestroyWindow(window_.get());
}

void MainForm::ShowPopupMenu(bool fromKeyboard) {
  if (!tray_ || !menu_ || closing_) return;
  menu_->BringForward();
  // From here until the menu has closed, timers that can start a pass are held (OnTimer).
  ++menuDepth_;
  UINT command = 0;
  try {
    PumpMessages();
    POINT at{};
    // From the keyboard the pointer may be anywhere, another monitor even: beside the icon.
    const RECT icon = fromKeyboard ? tray_->IconRect() : RECT{};
    if (fromKeyboard) {
      at = {icon.left, icon.top};
    } else {
      GetCursorPos(&at);
    }
    FitMenuGlyph(SmallIconSizeAt(at), std::nullopt);
    command = fromKeyboard ? menu_->TrackBeside(icon, window_.get()) : menu_->Track(at, window_.get());
    // Cancelled from the keyboard (not by a click in another window, which keeps the focus): it
    // goes back to the notification area.
    if (fromKeyboard && command == 0 && menu_->HoldsForeground()) tray_->GiveBackFocus();
  } catch (const ProgramClosing&) {
    // an error box on the way out: no menu for a program that is closing
  }
  --menuDepth_;
  if (window_.get() == nullptr) return;
  if (command != 0) PostMessageW(window_.get(), WM_COMMAND, command, 0);
  if (menuDepth_ > 0) return;
  // Each held timer once more, now that the menu is closed (the held Timer3 ticks count as one).
  for (UINT_PTR id : heldTimers_) PostMessageW(window_.get(), WM_TIMER, id, 0);
  heldTimers_.clear();
}

// A double click runs the menu's default item, "Свойства...".
void MainForm::OnLeftDoubleClick() {
  if (forecast_) forecast_->ForgetOpenerPress();
  if (!menu_ || closing_) return;
  const UINT command = menu_->DefaultCommand();
  if (command != 0) OnCommand(command);
}

void MainForm::ToggleForecast(const RECT& anchor, FlyoutOpener opener) {
  if (closing_) return;
  if (!forecast_) forecast_ = std::make_unique<ForecastWindow>(instance_, window_.get());
  const AppSettings& s = settings_;
  const bool ratesWanted = s.rateUsd || s.rateEur || s.rateChf || s.rateGbp || s.rateTry || s.rateUah ||
                           s.rateDkk || s.rateCny || s.rateKzt || s.rateJpy;
  forecast_->Toggle(anchor, FlyoutContentOf(pass_ ? pass_->Snapshot() : ForecastSnapshot{}, ratesWanted),
                    std::move(opener));
}

void MainForm::OnCommand(UINT id) {
  switch (id) {
    case kCommandProperties:
      ShowSettingsDialog();
      break;
    case kCommandOnTop:
      ToggleOnTop();
      break;
    case kCommandWidget:
      ToggleWidget();
      break;
    case kCommandUpdate:
      ProductPageClick();
      break;
    case kCommandRefresh:
      RefreshClick();
      break;
    case kCommandClose:
      FormClose();
      break;
    default:
      break;
  }
}

void MainForm::OnTimer(UINT_PTR id) {
  // A pass falling due while the menu opens or is open waits until it has closed: run from
  // the menu's wait, it would hold the menu back (or freeze it) for the whole pass.
  if (menuDepth_ > 0 && id != kTimer4Id) {
    if (std::find(heldTimers_.begin(), heldTimers_.end(), id) == heldTimers_.end()) heldTimers_.push_back(id);
    return;
  }
  if (id == kTimer1Id) timers_->OnRetryTick();
  if (id == kTimer3Id) timers_->OnPeriodicTick();
  if (id == kWakeDelayId) wake_->DelayTimer();
  if (id == kConnectionWatchId) wake_->WatchTimer();
  if (id == kTimer4Id) ApplyOnTopAtStart();
}

// The widget comes after the main window: it reads its place through the settings store
// that FormCreate opened (the defaults when that failed, or when the place cannot be read).
void MainForm::CreateWidget() {
  if (store_) widgetPlace_ = std::make_unique<StoredWidgetPlace>(*store_);
  widget_ = std::make_unique<WidgetWindow>(instance_, widgetPlace_.get());
  widget_->onContextMenu = [this] { ShowPopupMenu(); };
  widget_->onDoubleClick = [this] {
    RECT anchor{};
    GetWindowRect(widget_->window(), &anchor);
    const auto widgetTookActivation = [this](HWND activated) {
      POINT at{};
      RECT now{};
      return activated == widget_->window() ||
             (PrimaryButtonDown() && GetCursorPos(&at) && GetWindowRect(widget_->window(), &now) && PtInRect(&now, at));
    };
    Guarded(window_.get(), [this, anchor, widgetTookActivation] {
      ToggleForecast(anchor, {.tookActivation = widgetTookActivation, .byKeyboard = false, .giveBackFocus = {}});
    });
  };
  widget_->hideAppButton = [this] { HideAppButton(); };
  widget_->showError = [this](const std::string& message) { ShowApplicationError(window_.get(), message); };
  if (store_) widgetSwitches_ = std::make_unique<WidgetSwitches>(settings_, *store_, *widget_);
}

void MainForm::ApplyOnTopAtStart() {
  timer4_.SetEnabled(false);
  if (!widgetSwitches_) return;
  widgetSwitches_->ApplyOnTopAtStart();
  ShowWidgetChecks();
}

void MainForm::ToggleOnTop() {
  if (!widgetSwitches_) return;
  widgetSwitches_->ToggleOnTop();
  ShowWidgetChecks();
}

void MainForm::ToggleWidget() {
  if (!widgetSwitches_) return;
  widgetSwitches_->ToggleWidget();
  ShowWidgetChecks();
}

void MainForm::ShowWidgetChecks() {
  if (!menu_) return;
  menu_->SetChecked(kCommandOnTop, OnTopChecked());
  menu_->SetChecked(kCommandWidget, WidgetChecked());
}

void MainForm::OnPowerBroadcast(WPARAM event) {
  if (!wake_) return;
  if (event == PBT_APMSUSPEND) wake_->Suspending();
  // Every wake brings this one; a wake by the user brings PBT_APMRESUMESUSPEND besides.
  if (event == PBT_APMRESUMEAUTOMATIC) wake_->Resumed();
}

void MainForm::RefreshClick() {
  if (pass_) pass_->Run();
}

void MainForm::ProductPageClick() {
  std::string url = "http://";
  url += kSiteHost;
  url += kProductPagePath;
  OpenAddress(applicationWindow_, url);
}

void MainForm::HideAppButton() { TrayIcon::HideAppButton(applicationWindow_); }

bool MainForm::IsOnline() {
  const bool connected = IsConnected();
  if (wake_) wake_->PassSawConnection(connected);
  return connected;
}

bool MainForm::IsConnected() {
  com::Start();  // the network list is a COM object
  return online_.IsOnline();
}

void MainForm::SetHint(const std::string& text) {
  if (tray_) tray_->SetHint(text);
}

void MainForm::SetRefreshItemEnabled(bool enabled) {
  if (menu_) menu_->SetEnabled(kCommandRefresh, enabled);
}

void MainForm::PumpMessages() {
  if (closing_) throw ProgramClosing();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit for the message loop itself.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (closing_) throw ProgramClosing();  // "Закрыть" was chosen
  }
}

void MainForm::PaintTrayDigits(const ForecastSnapshot& snapshot) {
  const DigitInk ink = ChooseDigitInk(ChosenColour(settings_.temperatureColor), ReadTaskbarLook());
  icons_.PaintTrayDigits({snapshot.temperatureText, snapshot.iconText, DigitsOnlyEffective(settings_),
                          ink.colour, ink.rim},
                         glyphs_);
  if (iconIndex_ >= 2) SetIconIndex(iconIndex_);
}

void MainForm::FollowTaskbarLook() {
  // Cheap enough for every settings change: one registry value and one system parameter. The
  // theme's switch comes as "ImmersiveColorSet", a high-contrast scheme as SPI_SETHIGHCONTRAST
  // and a change of system colours; none of them needs telling apart.
  const DigitInk ink = ChooseDigitInk(ChosenColour(settings_.temperatureColor), ReadTaskbarLook());
  if (icons_.Recolour(ink.colour, ink.rim, glyphs_) && iconIndex_ >= 2) SetIconIndex(iconIndex_);
}

void MainForm::RefreshFace(const ForecastSnapshot& snapshot) {
  if (widget_) widget_->RefreshFace(snapshot.signedText, snapshot.skyCondition, snapshot.placeUtcOffset);
}

void MainForm::ShowWidget() {
  if (!widgetSwitches_) return;
  widgetSwitches_->ShowWidget();
  ShowWidgetChecks();
}

void MainForm::SetIconIndex(int index) {
  iconIndex_ = index;  // kept for when the icon appears
  if (!tray_ || icons_.Count() == 0) return;
  // An entry beyond the list shows the last one.
  iconIndex_ = icons_.Clamp(index);
  tray_->SetPicture(MakeIcon(icons_.Entry(iconIndex_)).get());
  // The first pass with data ends here. Without the summary balloon, which would carry it, the
  // hint comes on its own: one balloon, so that neither replaces the other.
  if (index > 0 && !settings_.notifyOnConnect && PinHintWanted()) {
    tray_->ShowBalloon(kProductName, PinHint(), NoticeKind::Info, kSummaryNoticeSeconds);
  }
}

bool MainForm::PinHintWanted() {
  if (std::exchange(pinHintAsked_, true) || !store_) return false;
  try {
    // By now the shell has recorded the icon, which it does when the icon is first added.
    return IsFirstRun(*store_) && ReadIconPromoted(OwnExecutablePath()) == false;
  } catch (const std::exception&) {
    return false;  // an unreadable marker: no hint rather than an error box
  }
}

// The pause between attempts keeps its length, but what comes meanwhile is handled at once;
// closing ends it.
void MainForm::Sleep(int milliseconds) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(milliseconds);
  for (int left; !closing_ && (left = MillisecondsUntil(deadline)) > 0;) {
    if (WaitForObjectOrMessage(nullptr, left) == WaitEnd::Message) PumpMessages();
  }
}

void MainForm::ShowNotice(const std::string& title, const std::string& text, NoticeKind kind, int seconds) {
  if (!tray_) return;
  tray_->ShowBalloon(title, PinHintWanted() ? WithPinHint(text) : text, kind, seconds);
}

LRESULT MainForm::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT result = 0; dialog_ && dialog_->Handle(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_COMMAND:
      Guarded(window_.get(), [&] { OnCommand(LOWORD(wp)); });
      return 0;
    case WM_TIMER:
      Guarded(window_.get(), [&] { OnTimer(wp); });
      return 0;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(wp);
      return TRUE;
    case WM_SYSCOLORCHANGE:
      FollowTaskbarLook();
      return 0;
    case WM_SETTINGCHANGE:
      FollowTaskbarLook();
      FitTrayArt();
      return DefWindowProcW(window_.get(), msg, wp, lp);
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
      FitTrayArt();
      return DefWindowProcW(window_.get(), msg, wp, lp);
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_DESTROY:
      closing_ = true;
      KillTimer(window_.get(), kTimer1Id);
      KillTimer(window_.get(), kTimer3Id);
      KillTimer(window_.get(), kWakeDelayId);
      KillTimer(window_.get(), kConnectionWatchId);
      KillTimer(window_.get(), kTimer4Id);
      // The icon leaves the notification area with the window; the object stays until the
      // destructor, as its message handler may still be on the stack (an error box's loop
      // inside a click, then "Закрыть").
      if (tray_) tray_->Hide();
      suspendResume_.reset();
      window_.Release();
      PostQuitMessage(0);
      return 0;
    default:
      if (msg == LiveCountMessage()) return AnswerLiveCount(wp);
      return DefWindowProcW(window_.get(), msg, wp, lp);
  }
}

}  // namespace corvella
