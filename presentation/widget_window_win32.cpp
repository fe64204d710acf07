#include "presentation/widget_window_win32.h"

#include <windowsx.h>

#include <memory>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/monitor_dpi_win32.h"
#include "common/system_function_win32.h"

namespace corvella {
namespace {

struct ScreenDc {
  ScreenDc() : dc(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC dc;
};

}  // namespace

WidgetWindow::WidgetWindow(HINSTANCE instance, WidgetPlace* place, HMODULE resources, const Clock& clock)
    : resources_(resources != nullptr ? resources : GetModuleHandleW(nullptr)), place_(place), clock_(clock) {
  // FormCreate: the stored place, or the top of the screen 192 pixels (at 96 DPI) from its
  // right edge; without a window yet, the scale is the primary screen's.
  const WidgetPoint fallback = DefaultWidgetPosition(GetSystemMetrics(SM_CXSCREEN), Dpi());
  WidgetPoint at = fallback;
  if (place_ != nullptr) {
    // A stored place that cannot be read (a value of the wrong type) gives the default one; the
    // error is told once the program runs.
    try {
      at = place_->Read(fallback);
    } catch (const std::exception& e) {
      createError_ = e.what();
    }
  }
  // Layered from the start, so that nothing shows before the first picture. Unowned, and a
  // tool window, so that it never has a taskbar button or an Alt+Tab entry of its own.
  const bool created = window_.Create(this, instance,
                                     {.name = kWindowClass,
                                      .style = CS_DBLCLKS,
                                      .cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))},
                                     {.exStyle = WS_EX_LAYERED | WS_EX_TOOLWINDOW,
                                      .x = at.x,
                                      .y = at.y,
                                      .width = kWidgetInitialWidth,
                                      .height = kWidgetInitialHeight});
  if (!created && createError_.empty()) {
    createError_ = ErrorWithCode("Cannot create the widget window", GetLastError()).what();
  }
  grabDpi_ = Dpi();
}

WidgetWindow::~WidgetWindow() {
  window_.Destroy();
  picture_.reset();  // FormDestroy: the last composition goes
}

void WidgetWindow::RefreshFace(std::string_view signedText, std::string_view skyCondition,
                               std::optional<int> placeUtcOffset) {
  signedText_ = std::string(signedText);
  skyCondition_ = std::string(skyCondition);
  placeUtcOffset_ = placeUtcOffset;
  const int hour = placeUtcOffset ? WallClockAt(clock_, *placeUtcOffset).hour : clock_.LocalNow().hour;
  Fons(ChooseBackground(hour, skyCondition_), signedText_);
}

void WidgetWindow::EnsureLayered() {
  const LONG style = GetWindowLongW(window_.get(), GWL_EXSTYLE);
  SetLastError(0);
  if (SetWindowLongW(window_.get(), GWL_EXSTYLE, style | WS_EX_LAYERED) == 0 && GetLastError() != 0) {
    // Shown, and the composition goes on.
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    Report(text != nullptr ? FromWide(text) : std::string("Error"));
    LocalFree(text);
  }
}

void WidgetWindow::Fons(WidgetBackground index, std::string_view text) {
  EnsureLayered();
  SIZE size{};
  UniqueGdiObject bitmap;
  // The new size can carry the window onto a monitor of another scale, and the system then
  // changes its DPI at once (a WM_DPICHANGED inside SetWindowPos): the picture is composed again
  // for the DPI the window has after the resize, a few times at most, so that a window on the
  // border between two scales settles on one.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int dpi = Dpi();
    const int artDpi = WidgetArtDpi(dpi);
    bitmap.reset(ComposeWidgetPicture(resources_, index, text, dpi, artDpi, size));
    SetWindowPos(window_.get(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (Dpi() == dpi) break;
  }

  ScreenDc screen;
  picture_.reset();
  picture_ = std::make_unique<ComposedPicture>(screen.dc, static_cast<HBITMAP>(bitmap.release()));
  lastIndex_ = index;
  composed_ = true;

  RECT place{};
  GetWindowRect(window_.get(), &place);
  POINT destination{place.left, place.top};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!UpdateLayeredWindow(window_.get(), screen.dc, &destination, &size, picture_->dc(), &source, 0, &blend,
                           ULW_ALPHA)) {
    // A window that lost its layered state takes it anew.
    const LONG style = GetWindowLongW(window_.get(), GWL_EXSTYLE);
    SetWindowLongW(window_.get(), GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    SetWindowLongW(window_.get(), GWL_EXSTYLE, style | WS_EX_LAYERED);
    UpdateLayeredWindow(window_.get(), screen.dc, &destination, &size, picture_->dc(), &source, 0, &blend,
                        ULW_ALPHA);
  }
}

void WidgetWindow::Show() {
  if (Visible()) return;
  ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
  try {
    FormShow();
  } catch (...) {
    // A widget whose picture failed stays hidden, as its menu check says.
    ShowWindow(window_.get(), SW_HIDE);
    throw;
  }
}

void WidgetWindow::FormShow() {
  if (hideAppButton) hideAppButton();
  // A place the screens no longer show comes back onto the nearest one.
  RECT place{};
  GetWindowRect(window_.get(), &place);
  std::vector<WidgetMonitor> monitors;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(monitor, &info)) {
          const RECT& b = info.rcMonitor;
          const RECT& w = info.rcWork;
          reinterpret_cast<std::vector<WidgetMonitor>*>(data)->push_back(
              {{b.left, b.top, b.right, b.bottom}, {w.left, w.top, w.right, w.bottom}});
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&monitors));
  const WidgetPoint at =
      KeepOnScreen({place.left, place.top}, place.right - place.left, place.bottom - place.top, monitors);
  if (at.x != place.left || at.y != place.top) {
    SetWindowPos(window_.get(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RefreshFace(signedText_, skyCondition_, placeUtcOffset_);
}

void WidgetWindow::Close() {
  RECT place{};
  GetWindowRect(window_.get(), &place);
  // Hidden only once its place is stored: a failed write leaves it shown, as its check says.
  if (place_ != nullptr) place_->Write({place.left, place.top});
  ShowWindow(window_.get(), SW_HIDE);
}

void WidgetWindow::SetWidgetVisible(bool visible) {
  if (visible) {
    Show();
  } else {
    Close();
  }
}

// The owner stays as created (none): an owner cannot be given after creation.
void WidgetWindow::SetWidgetOnTop(bool on) {
  if (!SetWindowPos(window_.get(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                    SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
    throw ErrorWithCode("Cannot change the widget's band", GetLastError());
  }
}

void WidgetWindow::FormMouseDown(LPARAM lp) {
  grab_ = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  grabDpi_ = Dpi();
}

// Only a held left button moves the window; the picture stays as it was composed.
void WidgetWindow::FormMouseMove(WPARAM wp) {
  if ((wp & MK_LBUTTON) == 0) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  SetWindowPos(window_.get(), nullptr, cursor.x - grab_.x, cursor.y - grab_.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The same face, drawn for the new monitor at the place the system suggests. Its new size can
// move it back over the old monitor, which sends another change inside this one: that one is
// not followed, but the face is drawn once more when the window's DPI is no longer the one it
// was drawn for, and that is all.
void WidgetWindow::DpiChanged(int dpi, const RECT& suggested) {
  // A drag in progress keeps the same spot of the picture under the mouse.
  if (grabDpi_ > 0 && dpi > 0) {
    grab_ = {MulDiv(grab_.x, dpi, grabDpi_), MulDiv(grab_.y, dpi, grabDpi_)};
    grabDpi_ = dpi;
  }
  if (rescaling_) return;
  rescaling_ = true;
  try {
    if (!SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
      throw ErrorWithCode("Cannot move the widget", GetLastError());
    }
    if (composed_) {
      Fons(lastIndex_, signedText_);
      if (Dpi() != dpi) Fons(lastIndex_, signedText_);
    }
  } catch (const std::exception& e) {
    Report(e.what());
  }
  rescaling_ = false;
}

int WidgetWindow::Dpi() const { return DpiOfWindow(window_.get()); }

void WidgetWindow::Report(const std::string& message) {
  if (showError) showError(message);
}

LRESULT WidgetWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      FormMouseDown(lp);
      SetCapture(window_.get());  // the drag goes on when the mouse outruns the window
      return 0;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      FormMouseDown(lp);
      return 0;
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      if (onDoubleClick) onDoubleClick();
      return 0;
    case WM_MOUSEMOVE:
      FormMouseMove(wp);
      return 0;
    case WM_CONTEXTMENU:
      if (onContextMenu) onContextMenu();
      return 0;
    case WM_DPICHANGED:
      DpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_CLOSE:
      // Only the menu hides the widget, so that its check always tells the truth.
      return 0;
    default:
      return DefWindowProcW(window_.get(), msg, wp, lp);
  }
}

}  // namespace corvella
