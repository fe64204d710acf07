// The program's icon in the notification area: picture, tooltip, balloons, and the
// mouse events that the shell sends back to a hidden window of ours.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "common/handles_win32.h"

namespace corvella {

enum class BalloonKind { None = 0, Info = 1, Warning = 2, Error = 3 };

class TrayIcon {
 public:
  // The shell's messages for the icon come to this message number (0x800).
  static constexpr UINT kCallbackMessage = WM_USER + 0x400;

  explicit TrayIcon(HINSTANCE instance);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon (then asks for the shell's oldest behaviour, version 0).
  void Show();
  void Hide();
  // The icon keeps its own copy of the picture.
  void SetPicture(HICON icon);
  void SetHint(std::string_view text);
  // Takes down the balloon on show, if any, then shows this one.
  void ShowBalloon(std::string_view title, std::string_view text, BalloonKind kind, int seconds);
  HWND window() const { return window_.get(); }
  const std::string& hint() const { return hint_; }
  bool shown() const { return shown_; }

  // Hides the window that carries the program's taskbar button, if it is visible.
  static void HideAppButton(HWND applicationWindow);

  std::function<void()> onRightButtonDown;
  std::function<void()> onLeftDoubleClick;
  // The shell was restarted (or the taskbar rebuilt) and the icon was added again; also a
  // hint that the taskbar's scale may have changed.
  std::function<void()> onTaskbarCreated;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  NOTIFYICONDATAW BaseRecord(UINT flags) const;
  void Update(DWORD action, UINT flags);

  UniqueWindow window_;
  UniqueIcon picture_;
  std::string hint_;
  bool shown_ = false;
  UINT taskbarCreated_ = 0;
};

// Whether comctl32 is newer than 4.70, the first with a shell that announces its restart.
bool CommonControlsAbove470();

}  // namespace corvella
