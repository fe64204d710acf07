// The desktop widget: a borderless per-pixel-alpha window showing the weather picture with
// the temperature in large outlined letters. It reads and stores its place through the
// WidgetPlace it is given, shares the tray icon's menu, and is dragged with the left mouse
// button.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/handles_win32.h"
#include "common/message_window_win32.h"
#include "presentation/widget_composition_win32.h"
#include "presentation/widget_control.h"
#include "presentation/widget_face.h"
#include "presentation/widget_place.h"

namespace corvella {

class WidgetWindow : public WidgetControl, private MessageHandler {
 public:
  static constexpr wchar_t kWindowClass[] = L"CorvellaWidget";

  // FormCreate: created hidden at the place stored in `place` (defaults 0 and screen width
  // minus 192); `place` may be null (then the defaults) and must outlive the window. A stored
  // place that cannot be read gives the defaults; that error, or a window that could not be
  // created, is kept in createError() for the program to show.
  // Pictures come from `resources` (the program's own module by default).
  WidgetWindow(HINSTANCE instance, WidgetPlace* place, HMODULE resources = nullptr,
               const Clock& clock = SystemClock());
  ~WidgetWindow() override;
  WidgetWindow(const WidgetWindow&) = delete;
  WidgetWindow& operator=(const WidgetWindow&) = delete;

  // The background for the hour and the sky, composed with the temperature text
  // (Windows-1251), visible or not. Remembered for the next showing. The hour is the place's
  // when its offset from UTC is known, else the computer's.
  void RefreshFace(std::string_view signedText, std::string_view skyCondition,
                   std::optional<int> placeUtcOffset = std::nullopt);
  // Composes background `index` with `text` and puts it on the screen at the window's place.
  // A picture that cannot be read throws Error.
  void Fons(WidgetBackground index, std::string_view text);

  // Shows the widget; when it was hidden, FormShow runs: the application's taskbar button is
  // hidden, a place off every monitor is brought back, and the face is recomposed. When that
  // fails, the widget is hidden again and the error goes on.
  void Show();
  // FormClose: stores "top", then "left", and hides the widget. A failed write leaves it shown.
  void Close();
  bool Visible() const { return IsWindowVisible(window_.get()) != FALSE; }

  // WidgetControl
  void SetWidgetVisible(bool visible) override;
  // Throws Error when the window manager refuses.
  void SetWidgetOnTop(bool on) override;

  // What went wrong at creation; empty when nothing did.
  const std::string& createError() const { return createError_; }

  HWND window() const { return window_.get(); }
  // The composition alive now, for checks of what is drawn; null before the first.
  const ComposedPicture* picture() const { return picture_.get(); }

  // The right button's menu over the widget (the tray icon's menu).
  std::function<void()> onContextMenu;
  // A double click with the left button (a drag never makes one).
  std::function<void()> onDoubleClick;
  // Hides the application's own taskbar button.
  std::function<void()> hideAppButton;
  // Shows a failure that cannot leave a window message (the layered style, a DPI change).
  std::function<void(const std::string&)> showError;

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  void FormShow();
  void FormMouseDown(LPARAM lp);
  void FormMouseMove(WPARAM wp);
  void DpiChanged(int dpi, const RECT& suggested);
  void EnsureLayered();
  void Report(const std::string& message);
  int Dpi() const;

  HMODULE resources_;
  WidgetPlace* place_;
  const Clock& clock_;
  MessageWindow window_;
  std::string createError_;
  POINT grab_{};
  // The DPI the grab point was taken at, and whether a DPI change is being handled.
  int grabDpi_ = 96;
  bool rescaling_ = false;
  std::unique_ptr<ComposedPicture> picture_;
  std::string signedText_, skyCondition_;
  std::optional<int> placeUtcOffset_;
  WidgetBackground lastIndex_ = kBackgroundDay;
  bool composed_ = false;
};

}  // namespace corvella
