#include "presentation/tray_icon_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/system_function_win32.h"
#include "presentation/tray_texts.h"

namespace corvella {
namespace {

constexpr wchar_t kWindowClass[] = L"CorvellaTrayWindow";
constexpr UINT kIconId = 1;
constexpr UINT kBaseFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr UINT_PTR kRetryTimerId = 1;
// A single click acts once the time of a double click has passed without a second one.
constexpr UINT_PTR kClickTimerId = 2;
// Windows sends NIN_KEYSELECT twice for one Enter; a second one this soon is the same key.
constexpr DWORD kKeySelectRepeatMs = 300;

// `text` is already cut to what the field holds.
template <std::size_t N>
void CopyText(wchar_t (&dest)[N], std::string_view text) {
  const std::wstring wide = ToWide(text.substr(0, std::min(text.size(), N - 1)));
  std::copy(wide.begin(), wide.end(), dest);
  dest[wide.size()] = L'\0';
}

// The notification area of the taskbar, or the taskbar's far end: where a key leaves the icon
// when the shell cannot say where it is.
bool NotificationAreaRect(RECT& rect) {
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  HWND area = taskbar != nullptr ? FindWindowExW(taskbar, nullptr, L"TrayNotifyWnd", nullptr) : nullptr;
  if (area != nullptr && GetWindowRect(area, &rect)) return true;
  if (taskbar == nullptr || !GetWindowRect(taskbar, &rect)) return false;
  if (rect.right - rect.left >= rect.bottom - rect.top) {
    rect.left = rect.right - (rect.bottom - rect.top);
  } else {
    rect.top = rect.bottom - (rect.right - rect.left);
  }
  return true;
}

// The physical button's state: the primary one is the right one when the buttons are swapped.
bool ButtonDown(bool primary) {
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  return GetAsyncKeyState(primary != swapped ? VK_LBUTTON : VK_RBUTTON) < 0;
}

}  // namespace

TrayIcon::TrayIcon(HINSTANCE instance, ShellNotify notify, TrayAddRetry retry)
    : notify_(notify ? std::move(notify) : ShellNotify([](DWORD action, NOTIFYICONDATAW& data) {
        return Shell_NotifyIconW(action, &data) != FALSE;
      })),
      retry_(retry) {
  // Without its window the icon could neither be added nor hear the mouse.
  if (!window_.Create(this, instance, {.name = kWindowClass}, {}))
    throw ErrorWithCode("Cannot create the notification area's window", GetLastError());
  // Explorer restarted: the icon must be added again. Every supported Windows announces it, but
  // not to a program running elevated unless the message is let through from the lower
  // integrity level (Windows 7+; Vista's process-wide filter is not used).
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  ChangeWindowMessageFilterEx(window_.get(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
}

TrayIcon::~TrayIcon() {
  Hide();
  window_.Destroy();
}

NOTIFYICONDATAW TrayIcon::BaseRecord(UINT flags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_.get();
  data.uID = kIconId;
  data.uFlags = flags;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = picture_.get();
  CopyText(data.szTip, TipText(hint_));
  return data;
}

NOTIFYICONDATAW TrayIcon::BalloonRecord() const {
  NOTIFYICONDATAW data = BaseRecord(kBaseFlags | NIF_INFO);
  CopyText(data.szInfo, BalloonText(balloonText_));
  CopyText(data.szInfoTitle, BalloonTitle(balloonTitle_));
  data.uTimeout = static_cast<UINT>(std::max(balloonSeconds_, 0)) * 1000u;
  data.dwInfoFlags = static_cast<DWORD>(balloonKind_);
  return data;
}

bool TrayIcon::Add() {
  NOTIFYICONDATAW data = BaseRecord(kBaseFlags);
  // An add that timed out may still have reached the shell: then only a change is taken.
  if (!notify_(NIM_ADD, data) && !notify_(NIM_MODIFY, data)) {
    shown_ = false;
    return false;
  }
  shown_ = true;
  // Whatever the add answered (a first show, a change, the taskbar's restart), no retry
  // remains to repeat it.
  attemptsLeft_ = 0;
  KillTimer(window_.get(), kRetryTimerId);
  // A separate call: a version given with the add does not stick.
  NOTIFYICONDATAW version = BaseRecord(0);
  // Version 3 keeps the mouse messages as version 0 sends them, and adds the keyboard's:
  // Enter or Space on the focused icon (NIN_KEYSELECT) and its menu key (WM_CONTEXTMENU).
  version.uVersion = NOTIFYICON_VERSION;
  notify_(NIM_SETVERSION, version);
  if (balloonWaiting_) SendBalloon();  // one refused here waits for the next add
  return true;
}

void TrayIcon::AddOrRetry() {
  // While retrying, the next attempt carries this change: a hung shell is not asked twice.
  if (attemptsLeft_ > 0 || Add()) return;
  attemptsLeft_ = retry_.attempts;
  // Without a timer the next change of picture or hint tries again.
  if (SetTimer(window_.get(), kRetryTimerId, retry_.intervalMs, nullptr) == 0) attemptsLeft_ = 0;
}

void TrayIcon::RetryTimer() {
  if (!wanted_ || Add() || --attemptsLeft_ <= 0) {
    attemptsLeft_ = 0;
    KillTimer(window_.get(), kRetryTimerId);
  }
}

void TrayIcon::Update() {
  if (!wanted_) return;
  if (shown_) {
    NOTIFYICONDATAW data = BaseRecord(kBaseFlags);
    if (notify_(NIM_MODIFY, data)) return;
  }
  AddOrRetry();
}

bool TrayIcon::SendBalloon() {
  // Each balloon goes out on a fresh record, so adding the icon again after a shell
  // restart never brings an old balloon back.
  NOTIFYICONDATAW takeDown = BaseRecord(kBaseFlags | NIF_INFO);
  notify_(NIM_MODIFY, takeDown);
  NOTIFYICONDATAW data = BalloonRecord();
  if (!notify_(NIM_MODIFY, data)) return false;
  balloonWaiting_ = false;
  return true;
}

void TrayIcon::Show() {
  if (wanted_) return;
  wanted_ = true;
  AddOrRetry();
}

void TrayIcon::Hide() {
  if (!wanted_) return;
  wanted_ = false;
  attemptsLeft_ = 0;
  KillTimer(window_.get(), kRetryTimerId);
  KillTimer(window_.get(), kClickTimerId);  // a click of a hidden icon opens nothing
  // Also after a refused add, which may have gone through late.
  NOTIFYICONDATAW data = BaseRecord(0);
  notify_(NIM_DELETE, data);
  shown_ = false;
}

void TrayIcon::SetPicture(HICON icon) {
  picture_.reset(icon ? CopyIcon(icon) : nullptr);
  Update();
}

void TrayIcon::SetHint(std::string_view text) {
  hint_.assign(text);
  Update();
}

void TrayIcon::ShowBalloon(std::string_view title, std::string_view text, BalloonKind kind, int seconds) {
  if (!wanted_) return;
  balloonTitle_.assign(title);
  balloonText_.assign(text);
  balloonKind_ = kind;
  balloonSeconds_ = seconds;
  balloonWaiting_ = true;
  // Refused: the icon may be gone, and the balloon goes out with the add.
  if (!shown_ || !SendBalloon()) AddOrRetry();
}

bool PrimaryButtonDown() { return ButtonDown(true); }

bool TrayIcon::ShellIconRect(RECT& rect) const {
  using GetRectFn = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
  static const auto getRect = SystemFunction<GetRectFn>(GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconGetRect");
  NOTIFYICONIDENTIFIER id{};
  id.cbSize = sizeof id;
  id.hWnd = window_.get();
  id.uID = kIconId;
  return getRect != nullptr && SUCCEEDED(getRect(&id, &rect)) && rect.right > rect.left;
}

RECT TrayIcon::IconRect() const {
  RECT rect{};
  if (ShellIconRect(rect)) return rect;
  // Without it (Wine has none): where the pointer is, which a click has just left on the icon;
  // after a key, the taskbar's notification area, or the taskbar's far end.
  if (fromKeyboard_ && NotificationAreaRect(rect)) return rect;
  POINT at{};
  GetCursorPos(&at);
  return RECT{at.x, at.y, at.x + 1, at.y + 1};
}

bool TrayIcon::PointerOnIcon() const {
  POINT at{};
  if (!GetCursorPos(&at)) return false;
  RECT rect{};
  if (ShellIconRect(rect)) return PtInRect(&rect, at) != FALSE;
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  return (NotificationAreaRect(rect) && PtInRect(&rect, at)) ||
         (taskbar != nullptr && GetWindowRect(taskbar, &rect) && PtInRect(&rect, at));
}

void TrayIcon::GiveBackFocus() {
  NOTIFYICONDATAW data = BaseRecord(0);
  if (shown_ && !notify_(NIM_SETFOCUS, data)) TraceFailure(L"Shell_NotifyIconW(NIM_SETFOCUS)", GetLastError());
}

void TrayIcon::HideAppButton(HWND applicationWindow) {
  if (applicationWindow != nullptr && IsWindowVisible(applicationWindow))
    ShowWindow(applicationWindow, SW_HIDE);
}

LRESULT TrayIcon::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  const HWND hwnd = window_.get();
  if (msg == kCallbackMessage) {
    // Version 3: the mouse or keyboard message is the whole second parameter.
    const UINT event = static_cast<UINT>(lp);
    if (event != WM_MOUSEMOVE) fromKeyboard_ = event == NIN_KEYSELECT || event == WM_CONTEXTMENU;
    switch (event) {
      case WM_RBUTTONDOWN:
        rightPressed_ = true;
        if (onMenu) onMenu(false);
        // The menu tracked the held button, so its release mostly went to the menu and no
        // WM_CONTEXTMENU follows: only a button still held will bring one.
        rightPressed_ = ButtonDown(false);
        return 0;
      case WM_CONTEXTMENU:
        // After a right press the menu has been shown already; from the keyboard it has not.
        if (!rightPressed_ && onMenu) onMenu(true);
        rightPressed_ = false;
        return 0;
      case WM_LBUTTONUP:
        if (secondUp_) {
          secondUp_ = false;
          return 0;
        }
        // The shell lets the program whose icon was clicked take the foreground until the user's
        // next input elsewhere: taken now, on the release, not when the double click's time has
        // passed, when the grant is usually gone.
        if (!SetForegroundWindow(hwnd)) TraceFailure(L"SetForegroundWindow on a click", GetLastError());
        if (SetTimer(hwnd, kClickTimerId, GetDoubleClickTime(), nullptr) == 0 && onLeftClick) onLeftClick();
        return 0;
      case WM_LBUTTONDBLCLK:
        KillTimer(hwnd, kClickTimerId);
        secondUp_ = true;
        if (onLeftDoubleClick) onLeftDoubleClick();
        return 0;
      case NIN_KEYSELECT: {
        const DWORD now = GetTickCount();
        const bool repeat = now - lastKeySelect_ < kKeySelectRepeatMs;
        lastKeySelect_ = now;
        if (!repeat && onLeftClick) onLeftClick();
        return 0;
      }
      default:
        return 0;
    }
  }
  if (msg == WM_TIMER && wp == kClickTimerId) {
    KillTimer(hwnd, kClickTimerId);
    if (onLeftClick) onLeftClick();
    return 0;
  }
  if (msg == WM_TIMER && wp == kRetryTimerId) {
    RetryTimer();
    return 0;
  }
  if (taskbarCreated_ != 0 && msg == taskbarCreated_) {
    if (wanted_) {
      attemptsLeft_ = 0;  // a fresh minute for the new taskbar
      AddOrRetry();
    }
    if (onTaskbarCreated) onTaskbarCreated();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace corvella
