// The program's icon in the notification area: picture, tooltip, balloons, and the
// mouse events that the shell sends back to a hidden window of ours.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "common/handles_win32.h"
#include "common/message_window_win32.h"
#include "common/notice_kind.h"

namespace corvella {

// The tray icon's name for the notice kinds it shows.
using BalloonKind = NoticeKind;

// The one call into the shell's notification area (Shell_NotifyIconW); tests put a failing
// shell in its place.
using ShellNotify = std::function<bool(DWORD action, NOTIFYICONDATAW& data)>;

// A busy Explorer (at logon it starts every Run entry) can time an add out, and the taskbar
// does not announce itself again: the add is tried again every 2 s for a minute.
struct TrayAddRetry {
  UINT intervalMs = 2000;
  int attempts = 30;
};

class TrayIcon : private MessageHandler {
 public:
  // The shell's messages for the icon come to this message number (0x800).
  static constexpr UINT kCallbackMessage = WM_USER + 0x400;

  explicit TrayIcon(HINSTANCE instance, ShellNotify notify = {}, TrayAddRetry retry = {});
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon (then asks for the shell's version 3 behaviour: version 0's mouse messages and
  // the keyboard's). When the shell refuses, the add is retried on the window's timer; pictures,
  // hints and a balloon given meanwhile go out with the add that succeeds.
  void Show();
  void Hide();
  // The icon keeps its own copy of the picture.
  void SetPicture(HICON icon);
  void SetHint(std::string_view text);
  // Takes down the balloon on show, if any, then shows this one.
  void ShowBalloon(std::string_view title, std::string_view text, BalloonKind kind, int seconds);
  HWND window() const { return window_.get(); }
  const std::string& hint() const { return hint_; }
  // Whether the shell has taken the icon.
  bool shown() const { return shown_; }

  // Hides the window that carries the program's taskbar button, if it is visible.
  static void HideAppButton(HWND applicationWindow);

  // The icon's rectangle on the screen, for a window that opens beside it.
  RECT IconRect() const;
  // Whether the pointer is on the icon (where the shell cannot tell: on the notification area
  // or the taskbar).
  bool PointerOnIcon() const;
  // Whether the shell's last word was a key's (Enter, Space, Shift+F10, the menu key).
  bool FromKeyboard() const { return fromKeyboard_; }
  // Gives the keyboard focus back to the notification area, after a window or menu opened from
  // the icon by the keyboard was cancelled.
  void GiveBackFocus();

  // The menu: on the right press (it opens on the press and tracks the held button), or from the
  // keyboard (Shift+F10, the menu key), which the argument says.
  std::function<void(bool fromKeyboard)> onMenu;
  // A single left click (one that no second click followed), or Enter or Space on the icon. The
  // click's release has made this program the foreground one already.
  std::function<void()> onLeftClick;
  std::function<void()> onLeftDoubleClick;
  // The shell was restarted (or the taskbar rebuilt) and the icon was added again; also a
  // hint that the taskbar's scale may have changed.
  std::function<void()> onTaskbarCreated;

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  NOTIFYICONDATAW BaseRecord(UINT flags) const;
  // The icon's rectangle as the shell gives it (Windows 7+); false where it cannot.
  bool ShellIconRect(RECT& rect) const;
  NOTIFYICONDATAW BalloonRecord() const;
  // A change of picture or hint; a refused change adds the icon again.
  void Update();
  // Adds the icon (or finds that a timed-out add went through after all), then sends the
  // balloon that waited. False when the shell refused.
  bool Add();
  void AddOrRetry();
  bool SendBalloon();
  void RetryTimer();

  ShellNotify notify_;
  TrayAddRetry retry_;
  MessageWindow window_;
  UniqueIcon picture_;
  std::string hint_;
  bool wanted_ = false;  // between Show and Hide
  bool shown_ = false;   // the shell has the icon
  int attemptsLeft_ = 0;
  bool balloonWaiting_ = false;
  std::string balloonTitle_;
  std::string balloonText_;
  BalloonKind balloonKind_ = BalloonKind::None;
  int balloonSeconds_ = 0;
  UINT taskbarCreated_ = 0;
  bool rightPressed_ = false;  // a mouse menu is open, or its button still held
  bool fromKeyboard_ = false;  // the shell's last word was a key's
  bool secondUp_ = false;
  DWORD lastKeySelect_ = 0;
};

// Whether the primary mouse button (the right one for a left-handed user) is held down now.
bool PrimaryButtonDown();

}  // namespace corvella
