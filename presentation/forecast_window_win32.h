// The forecast window: a flyout beside the tray icon with the hours, the days and the rates.
// It is made on its first opening and draws what presentation/forecast_layout decides.
#pragma once

#include <windows.h>

#include <functional>
#include <map>

#include "common/handles_win32.h"
#include "common/message_window_win32.h"
#include "presentation/forecast_layout.h"

namespace corvella {

// What opened the window: the tray icon (by a click or a key) or the widget.
struct FlyoutOpener {
  // Whether the opener took the window's activation, given the window that took it: the primary
  // button down on the opener, or the opener's own window. That press closed the window, and the
  // click it ends must not open it again.
  std::function<bool(HWND activated)> tookActivation;
  // Opened by the keyboard: Esc gives the focus back where the key came from.
  bool byKeyboard = false;
  std::function<void()> giveBackFocus;
};

class ForecastWindow : private MessageHandler {
 public:
  static constexpr const wchar_t* kWindowClass = L"CorvellaForecast";

  // `owner` is the program's hidden main window: an owned window never gets a taskbar button.
  ForecastWindow(HINSTANCE instance, HWND owner);
  ~ForecastWindow();
  ForecastWindow(const ForecastWindow&) = delete;
  ForecastWindow& operator=(const ForecastWindow&) = delete;

  // Opens the window beside `anchor` (the icon's rectangle on the screen) showing `content`;
  // an open window closes instead, and a click whose press on the opener closed it opens nothing.
  void Toggle(const RECT& anchor, const FlyoutContent& content, FlyoutOpener opener);
  void Close();
  // The press that closed the window ended in something else than a click (a double click): the
  // next click opens it.
  void ForgetOpenerPress();
  bool IsOpen() const;
  HWND window() const { return window_.get(); }

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  void Open(const RECT& anchor);
  // Lays out for `dpi`, or a smaller scale when the window would not fit in `work`.
  void LayOut(int dpi, const RECT& work);
  void Paint(HDC dc);
  void LoadPictures();
  void DrawPictures(HDC dc) const;
  int Dpi() const;

  MessageWindow window_;
  FlyoutContent content_;
  FlyoutLayout layout_;
  std::map<int, UniqueGdiObject> strips_;  // the six skies side by side, by drawn size
  FlyoutOpener opener_;
  bool closedByOpener_ = false;  // the opener's press took the activation away
  int drawnDpi_ = 96;  // the scale the layout was made for
};

}  // namespace corvella
