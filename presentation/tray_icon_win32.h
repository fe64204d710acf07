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
  // The shell's messages for the icon come to this message number.
  static constexpr UINT kCallbackMessage = WM_USER + 0x400;
  static constexpr std::size_t kTipLength = 127;

  explicit TrayIcon(HINSTANCE instance);
  ~TrayIcon();
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void Show();
  void Hide();
  // The icon keeps its own copy of the picture.
  void SetPicture(HICON icon);
  void SetHint(std::string_view text);
  void ShowBalloon(std::string_view title, std::string_view text, BalloonKind kind, int seconds);
  HWND window() const { return window_.get(); }
  const std::string& hint() const { return hint_; }

  std::function<void()> onRightButtonDown;
  std::function<void()> onLeftDoubleClick;

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

}  // namespace corvella
