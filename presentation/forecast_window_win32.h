// The forecast window: a flyout beside the tray icon with the hours, the days and the rates.
// It is made on its first opening and draws what presentation/forecast_layout decides.
#pragma once

#include <windows.h>

#include <map>

#include "common/handles_win32.h"
#include "common/message_window_win32.h"
#include "presentation/forecast_layout.h"

namespace corvella {

class ForecastWindow : private MessageHandler {
 public:
  static constexpr const wchar_t* kWindowClass = L"CorvellaForecast";

  // `owner` is the program's hidden main window: an owned window never gets a taskbar button.
  ForecastWindow(HINSTANCE instance, HWND owner);
  ~ForecastWindow();
  ForecastWindow(const ForecastWindow&) = delete;
  ForecastWindow& operator=(const ForecastWindow&) = delete;

  // Opens the window beside `anchor` (the icon's rectangle on the screen) showing `content`;
  // an open window closes instead, and so does a click that came just as it closed on its own
  // (the press on the icon took its activation away).
  void Toggle(const RECT& anchor, const FlyoutContent& content);
  void Close();
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
  DWORD closedAt_ = 0;
  int drawnDpi_ = 96;  // the scale the layout was made for
};

}  // namespace corvella
