#include "shell/main_form_win32.h"

#include <wininet.h>

#include "common/cp1251.h"
#include "presentation/tray_art_win32.h"
#include "presentation/tray_digits_win32.h"
#include "retrieval/version_check.h"
#include "shell/app_names.h"
#include "shell/error_box_win32.h"
#include "shell/file_version_win32.h"
#include "shell/single_instance_win32.h"

namespace corvella {
namespace {

constexpr UINT_PTR kTimer1Id = 1;
constexpr UINT_PTR kTimer3Id = 3;

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
      timer1_(window_, kTimer1Id, kRetryTimerIntervalMs),
      timer3_(window_, kTimer3Id, kPeriodicTimerIntervalMs) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &MainForm::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
  // Owned by the application window, so a running instance's dialog never counts
  // as the instance itself.
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kWindowClass, ToWide(kDialogCaption).c_str(),
                            WS_POPUP | WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 480, 360, applicationWindow,
                            nullptr, instance, this);
  // Once the program is closing, the pump throws ProgramClosing, so that a pass in flight gives
  // up at once instead of finishing for nobody.
  AttachPump(*http_, *this);
  Guarded(window_, [this] { FormCreate(); });
  FormShow();
  // The first pass comes 1.5 s after start; the periodic counter ticks every second.
  timer1_.SetEnabled(true);
  timer3_.SetEnabled(true);
}

MainForm::~MainForm() {
  tray_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
}

void MainForm::FormCreate() {
  if (AnotherInstanceRunning(applicationWindow_)) ExitProcess(0);
  tray_ = std::make_unique<TrayIcon>(instance_);
  tray_->onRightButtonDown = [this] { ShowPopupMenu(); };
  popup_.reset(CreatePopupMenu());
  AppendMenuW(popup_.get(), MF_STRING, kCommandRefresh, ToWide(kMenuRefresh).c_str());
  AppendMenuW(popup_.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup_.get(), MF_STRING, kCommandClose, ToWide(kMenuClose).c_str());

  catalogue_ = LocationCatalogue::FromBytes(CatalogueBytes());
  store_ = OpenRegistrySettings();
  pass_ = std::make_unique<RefreshPass>(*this, timer1_, *http_, settings_, *store_, catalogue_, SystemClock(),
                                        *ownFileDate_);
  timers_ = std::make_unique<RefreshTimers>(timer1_, timer3_, settings_, [this] { pass_->GetW(); });
  Loads(settings_, *store_, *autostart_, FromWide(OwnExecutablePath()));
  tray_->SetHint(kProductName);
}

// The icon appears once the main window is loaded, showing the waiting picture.
void MainForm::FormShow() {
  if (!tray_) return;
  icons_.clear();
  icons_.push_back(MakeIcon(WaitingPicture()));
  icons_.push_back(MakeIcon(WeatherPicture()));
  tray_->SetPicture(icons_[0].get());
  tray_->Show();
}

void MainForm::FormClose() {
  closing_ = true;
  // The first-run marker is written only on this way out.
  if (store_) Guarded(window_, [this] { MarkFirstRunOver(*store_); });
  DestroyWindow(window_);
}

void MainForm::ShowPopupMenu() {
  if (!tray_) return;
  POINT at{};
  GetCursorPos(&at);
  // The menu closes properly only when its window is in the foreground.
  SetForegroundWindow(tray_->window());
  TrackPopupMenu(popup_.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
}

void MainForm::OnCommand(UINT id) {
  switch (id) {
    case kCommandRefresh:
      if (pass_) pass_->GetW();
      break;
    case kCommandClose:
      FormClose();
      break;
    default:
      break;
  }
}

void MainForm::OnTimer(UINT_PTR id) {
  if (!timers_) {
    KillTimer(window_, id);
    return;
  }
  if (id == kTimer1Id) timers_->Timer1Timer();
  if (id == kTimer3Id) timers_->Timer3Timer();
}

bool MainForm::IsOnline() {
  DWORD flags = 0;
  return InternetGetConnectedState(&flags, 0) != FALSE;
}

void MainForm::SetHint(const std::string& text) {
  if (tray_) tray_->SetHint(text);
}

void MainForm::SetRefreshItemEnabled(bool enabled) {
  EnableMenuItem(popup_.get(), kCommandRefresh, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
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
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (closing_) throw ProgramClosing();  // "Закрыть" was chosen
  }
}

void MainForm::PaintTrayDigits(const ForecastSnapshot& snapshot) {
  TrayPicture withDigits = WeatherPicture();
  TrayPicture digitsOnly = WeatherPicture();
  if (snapshot.temperatureText.find('\xB0') != std::string::npos) {
    const std::size_t n = snapshot.iconText.size();
    const COLORREF colour = settings_.temperatureColor;
    withDigits = DrawDigits(&WeatherPicture(), snapshot.iconText, PictureDigitsPlacement(n), kPictureDigitsFace,
                            colour);
    digitsOnly = DigitsOnlyEffective(settings_)
                     ? DrawDigits(nullptr, snapshot.iconText, DigitsOnlyPlacement(n), kDigitsOnlyFace, colour)
                     : TrayPicture{};
  }
  icons_.resize(4);
  icons_[2] = MakeIcon(withDigits);
  icons_[3] = MakeIcon(digitsOnly);
  if (iconIndex_ >= 2) SetIconIndex(iconIndex_);
}

// The desktop widget is not part of this build yet; the pass's calls for it do nothing.
void MainForm::RefreshFace(const ForecastSnapshot&) {}
void MainForm::ShowWidget() {}

void MainForm::SetIconIndex(int index) {
  if (!tray_ || icons_.empty()) return;
  // An entry beyond the list shows the last one.
  iconIndex_ = std::max(0, std::min(index, static_cast<int>(icons_.size()) - 1));
  tray_->SetPicture(icons_[static_cast<std::size_t>(iconIndex_)].get());
}

void MainForm::Sleep(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }

void MainForm::ShowNotice(const std::string& title, const std::string& text, NoticeKind kind, int seconds) {
  if (tray_) tray_->ShowBalloon(title, text, static_cast<BalloonKind>(kind), seconds);
}

LRESULT MainForm::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      Guarded(window_, [&] { OnCommand(LOWORD(wp)); });
      return 0;
    case WM_TIMER:
      Guarded(window_, [&] { OnTimer(wp); });
      return 0;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_DESTROY:
      closing_ = true;
      KillTimer(window_, kTimer1Id);
      KillTimer(window_, kTimer3Id);
      tray_.reset();  // the icon leaves the notification area with the window
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, msg, wp, lp);
  }
}

LRESULT CALLBACK MainForm::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* self = static_cast<MainForm*>(create->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->window_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

}  // namespace corvella
