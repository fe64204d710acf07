#include "presentation/widget_window_win32.h"

// GDI+'s headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
#include <windowsx.h>

#include <memory>
#include <vector>

#include "common/com_win32.h"
#include "common/cp1251.h"
#include "common/error.h"
#include "common/monitor_dpi_win32.h"
#include "common/system_function_win32.h"
#include "presentation/gdiplus_library_win32.h"
#include "presentation/glyph_outline.h"

namespace corvella {
namespace {

struct ScreenDc {
  ScreenDc() : dc(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC dc;
};

// The picture's bytes as the module carries them: "PNG<n>", or "PNG<n>_<dpi>" for larger DPIs.
struct BackgroundResource {
  std::string name;
  const void* bytes = nullptr;
  DWORD size = 0;
};

BackgroundResource FindBackground(HMODULE module, WidgetBackground index, int artDpi) {
  std::wstring name = L"PNG" + std::to_wstring(static_cast<int>(index));
  if (artDpi != kWidgetArtDpis[0]) name += L"_" + std::to_wstring(artDpi);
  HRSRC found = FindResourceW(module, name.c_str(), L"PNG");
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) throw Error(FillMessage("Resource %s not found", FromWide(name)));
  return {FromWide(name), bytes, SizeofResource(module, found)};
}

// Decodes the background, with colour management, into a premultiplied 32-bit bitmap on a fully
// transparent ground, scaled from its rendering's DPI to `dpi`.
HBITMAP DecodeBackground(const BackgroundResource& picture, int dpi, int artDpi, SIZE& size) {
  return DecodePicture(picture.bytes, picture.size, picture.name, dpi, artDpi, size);
}

// The temperature's outline in bold "Tahoma", laid out as one line from its origin at the
// top left, the way GDI+ lays out a path's text: the baseline one ascent below the origin, each
// letter one advance after the one before. The letters come from GDI at 2048 pixels to the em,
// where no hinting moves them, and are scaled down to the em size. (GDI+'s own text would do the
// same, but its first font family enumerates every installed font, and under Wine that leaves
// each font file mapped.) Empty when no outline font can be had.
std::vector<PathPoint> TemperatureOutline(const std::wstring& text, int dpi) {
  constexpr int kOutlineEm = 2048;
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return {};
  LOGFONTW logFont{};
  logFont.lfHeight = -kOutlineEm;
  logFont.lfWeight = FW_BOLD;
  logFont.lfCharSet = DEFAULT_CHARSET;
  // Where no Tahoma is installed the font mapper gives another outline face.
  logFont.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  kWidgetFontFamily.copy(logFont.lfFaceName, LF_FACESIZE - 1);
  const UniqueGdiObject font(CreateFontIndirectW(&logFont));
  if (!font) return {};
  const SelectGuard selected(dc.get(), font.get());
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc.get(), &metrics)) return {};
  const float scale = static_cast<float>(ScaleForDpi(kWidgetTextEm, dpi)) / kOutlineEm;
  float x = static_cast<float>(ScaleForDpi(kWidgetTextX, dpi));
  const float baseline =
      static_cast<float>(ScaleForDpi(kWidgetTextY, dpi)) + static_cast<float>(metrics.tmAscent) * scale;
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  std::vector<PathPoint> path;
  std::vector<std::uint8_t> outline;
  for (const wchar_t letter : text) {
    GLYPHMETRICS glyph{};
    const DWORD size = GetGlyphOutlineW(dc.get(), letter, GGO_BEZIER, &glyph, 0, nullptr, &identity);
    if (size == GDI_ERROR) return {};
    outline.resize(size);
    if (size != 0 && (GetGlyphOutlineW(dc.get(), letter, GGO_BEZIER, &glyph, size, outline.data(),
                                       &identity) == GDI_ERROR ||
                      !AppendGlyphOutline(outline, x, baseline, scale, path)))
      return {};
    x += static_cast<float>(glyph.gmCellIncX) * scale;
  }
  return path;
}

// The temperature as one path: white fill, then a black outline over it, no smoothing.
void DrawTemperature(HBITMAP bitmap, std::string_view text, int dpi) {
  DIBSECTION dib{};
  if (text.empty() || GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBits == nullptr)
    return;
  const std::vector<PathPoint> outline = TemperatureOutline(ToWide(text), dpi);
  if (outline.empty()) return;
  std::vector<Gdiplus::PointF> points;
  std::vector<BYTE> types;
  for (const PathPoint& point : outline) {
    points.emplace_back(point.x, point.y);
    types.push_back(point.type);
  }
  GdiFlush();
  const int width = dib.dsBm.bmWidth, height = dib.dsBm.bmHeight, stride = dib.dsBm.bmWidthBytes;
  auto* bits = static_cast<BYTE*>(dib.dsBm.bmBits);
  // A bottom-up bitmap is read from its last row with a negative stride.
  const bool bottomUp = dib.dsBmih.biHeight > 0;
  Gdiplus::Bitmap canvas(width, height, bottomUp ? -stride : stride, PixelFormat32bppPARGB,
                         bottomUp ? bits + static_cast<std::ptrdiff_t>(height - 1) * stride : bits);
  Gdiplus::Graphics g(&canvas);
  g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
  Gdiplus::GraphicsPath path(points.data(), types.data(), static_cast<INT>(points.size()),
                             Gdiplus::FillModeAlternate);
  Gdiplus::SolidBrush white(Gdiplus::Color(0xFF, 0xFF, 0xFF, 0xFF));
  g.FillPath(&white, &path);
  Gdiplus::Pen black(Gdiplus::Color(0xFF, 0, 0, 0), static_cast<Gdiplus::REAL>(dpi) / 96.0f);
  g.DrawPath(&black, &path);
}

}  // namespace

ComposedPicture::ComposedPicture(HDC screen, HBITMAP bitmap)
    : bitmap_(bitmap), dc_(CreateCompatibleDC(screen)) {
  if (!dc_) throw Error("Cannot create a drawing context");
  previous_ = SelectObject(dc_.get(), bitmap);
}

ComposedPicture::~ComposedPicture() {
  // The bitmap leaves the DC before either is deleted.
  if (dc_ && previous_ != nullptr) SelectObject(dc_.get(), previous_);
}

WidgetWindow::WidgetWindow(HINSTANCE instance, WidgetPlace* place, HMODULE resources, const Clock& clock)
    : resources_(resources != nullptr ? resources : GetModuleHandleW(nullptr)), place_(place), clock_(clock) {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &WidgetWindow::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
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
  window_ = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, at.x, at.y,
                            kWidgetInitialWidth, kWidgetInitialHeight, nullptr, nullptr, instance, this);
  if (window_ == nullptr && createError_.empty()) {
    createError_ = ErrorWithCode("Cannot create the widget window", GetLastError()).what();
  }
  grabDpi_ = Dpi();
}

WidgetWindow::~WidgetWindow() {
  if (window_ != nullptr) {
    // No message reaches a half-destroyed object.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
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
  const LONG style = GetWindowLongW(window_, GWL_EXSTYLE);
  SetLastError(0);
  if (SetWindowLongW(window_, GWL_EXSTYLE, style | WS_EX_LAYERED) == 0 && GetLastError() != 0) {
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
    const BackgroundResource background = FindBackground(resources_, index, artDpi);
    {
      // GDI+ only while composing: between compositions, hours apart, it holds nothing. Some
      // (Wine's) decode through the system's imaging component, which needs COM.
      com::Start();
      const GdiplusLibrary gdiplus;
      bitmap.reset(DecodeBackground(background, dpi, artDpi, size));
      DrawTemperature(static_cast<HBITMAP>(bitmap.get()), text, dpi);
    }
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (Dpi() == dpi) break;
  }

  ScreenDc screen;
  picture_.reset();
  picture_ = std::make_unique<ComposedPicture>(screen.dc, static_cast<HBITMAP>(bitmap.release()));
  lastIndex_ = index;
  composed_ = true;

  RECT place{};
  GetWindowRect(window_, &place);
  POINT destination{place.left, place.top};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!UpdateLayeredWindow(window_, screen.dc, &destination, &size, picture_->dc(), &source, 0, &blend,
                           ULW_ALPHA)) {
    // A window that lost its layered state takes it anew.
    const LONG style = GetWindowLongW(window_, GWL_EXSTYLE);
    SetWindowLongW(window_, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    SetWindowLongW(window_, GWL_EXSTYLE, style | WS_EX_LAYERED);
    UpdateLayeredWindow(window_, screen.dc, &destination, &size, picture_->dc(), &source, 0, &blend,
                        ULW_ALPHA);
  }
}

void WidgetWindow::Show() {
  if (Visible()) return;
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  try {
    FormShow();
  } catch (...) {
    // A widget whose picture failed stays hidden, as its menu check says.
    ShowWindow(window_, SW_HIDE);
    throw;
  }
}

void WidgetWindow::FormShow() {
  if (hideAppButton) hideAppButton();
  // A place the screens no longer show comes back onto the nearest one.
  RECT place{};
  GetWindowRect(window_, &place);
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
    SetWindowPos(window_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RefreshFace(signedText_, skyCondition_, placeUtcOffset_);
}

void WidgetWindow::Close() {
  RECT place{};
  GetWindowRect(window_, &place);
  // Hidden only once its place is stored: a failed write leaves it shown, as its check says.
  if (place_ != nullptr) place_->Write({place.left, place.top});
  ShowWindow(window_, SW_HIDE);
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
  if (!SetWindowPos(window_, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
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
  SetWindowPos(window_, nullptr, cursor.x - grab_.x, cursor.y - grab_.y, 0, 0,
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
    if (!SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0,
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

int WidgetWindow::Dpi() const { return DpiOfWindow(window_); }

void WidgetWindow::Report(const std::string& message) {
  if (showError) showError(message);
}

LRESULT WidgetWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
      FormMouseDown(lp);
      SetCapture(window_);  // the drag goes on when the mouse outruns the window
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
      return DefWindowProcW(window_, msg, wp, lp);
  }
}

LRESULT CALLBACK WidgetWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<WidgetWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<WidgetWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->window_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

}  // namespace corvella
