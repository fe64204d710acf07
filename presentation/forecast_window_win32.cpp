#include "presentation/forecast_window_win32.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/monitor_dpi_win32.h"
#include "common/system_function_win32.h"
#include "presentation/accessible_description_win32.h"
#include "presentation/flyout_description.h"
#include "presentation/gdiplus_library_win32.h"
#include "presentation/setting_change.h"
#include "presentation/taskbar_look_win32.h"

namespace corvella {
namespace {

constexpr const wchar_t* kTitle = L"Прогноз погоды";
constexpr int kSmallestDpi = 72;

struct Palette {
  COLORREF background, text, faint, warm, cold, rule, curve, zero, precip;
};

static_assert(kSpiSetNonClientMetrics == SPI_SETNONCLIENTMETRICS && kSpiSetIconMetrics == SPI_SETICONMETRICS &&
              kSpiSetWorkArea == SPI_SETWORKAREA && kSpiSetHighContrast == SPI_SETHIGHCONTRAST);

// The colours of what the digits follow: the taskbar's light or dark theme (a "Custom" mode's dark
// taskbar beside light apps gives a dark window, as the system's own tray flyouts are), or a
// high-contrast scheme.
Palette CurrentPalette() {
  const TaskbarLook look = ReadTaskbarLook();
  if (look.highContrastText) {
    // The user's own colours and nothing else.
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT), grey = GetSysColor(COLOR_GRAYTEXT);
    const COLORREF hot = GetSysColor(COLOR_HIGHLIGHT);
    return {GetSysColor(COLOR_WINDOW), text, grey, text, text, text, hot, grey, hot};
  }
  if (!look.light) {
    return {RGB(0x2B, 0x2B, 0x2B), RGB(0xF2, 0xF2, 0xF2), RGB(0xA8, 0xA8, 0xA8), RGB(0xFF, 0xB0, 0x4C),
            RGB(0x7C, 0xC4, 0xFF), RGB(0x45, 0x45, 0x45), RGB(0xFF, 0xB0, 0x4C), RGB(0x6A, 0x6A, 0x6A),
            RGB(0x4C, 0x9A, 0xE8)};
  }
  return {RGB(0xF9, 0xF9, 0xF9), RGB(0x1A, 0x1A, 0x1A), RGB(0x60, 0x60, 0x60), RGB(0xC0, 0x50, 0x00),
          RGB(0x00, 0x5A, 0xB4), RGB(0xE0, 0xE0, 0xE0), RGB(0xE0, 0x78, 0x00), RGB(0xA0, 0xA0, 0xA0),
          RGB(0x46, 0x8C, 0xD2)};
}

// The system's message font face (Segoe UI on Windows, Tahoma under Wine) at our sizes.
class Fonts {
 public:
  explicit Fonts(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW face{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) face = metrics.lfMessageFont;
    if (face.lfFaceName[0] == 0) lstrcpynW(face.lfFaceName, L"Tahoma", LF_FACESIZE);
    for (FlyoutFont f : {FlyoutFont::Large, FlyoutFont::Title, FlyoutFont::Body, FlyoutFont::Small}) {
      LOGFONTW lf = face;
      lf.lfHeight = -FlyoutFontPixels(f, dpi);
      lf.lfWidth = 0;
      lf.lfWeight = f == FlyoutFont::Title ? FW_BOLD : FW_NORMAL;
      lf.lfQuality = CLEARTYPE_QUALITY;
      fonts_[static_cast<std::size_t>(f)].reset(CreateFontIndirectW(&lf));
      if (!fonts_[static_cast<std::size_t>(f)]) throw ErrorWithCode("Cannot create the forecast's font", GetLastError());
    }
  }
  HGDIOBJ operator[](FlyoutFont f) const { return fonts_[static_cast<std::size_t>(f)].get(); }

 private:
  std::array<UniqueGdiObject, 4> fonts_;
};

FlyoutMeasure MeasureIn(HDC dc, const Fonts& fonts) {
  return [dc, &fonts](std::string_view text, FlyoutFont font) {
    SelectGuard select(dc, fonts[font]);
    const std::wstring wide = ToWide(text);
    SIZE size{};
    if (!GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size)) return 0;
    return static_cast<int>(size.cx);
  };
}

COLORREF InkColour(const Palette& palette, FlyoutInk ink) {
  const COLORREF colours[] = {palette.text, palette.faint, palette.warm, palette.cold};
  return colours[static_cast<int>(ink)];
}

// A filled dot of radius r in `colour`.
void Dot(HDC dc, FlyoutPoint at, int r, COLORREF colour) {
  UniqueGdiObject brush(CreateSolidBrush(colour)), pen(CreatePen(PS_SOLID, 1, colour));
  if (!brush || !pen) return;
  SelectGuard selectBrush(dc, brush.get()), selectPen(dc, pen.get());
  Ellipse(dc, at.x - r, at.y - r, at.x + r + 1, at.y + r + 1);
}

// The rates' rises and falls and the pressure's trend as small triangles in their inks, and each
// rate's month as a thin line with its lowest point in the cold ink and its highest in the warm.
void DrawRateMarks(HDC dc, const FlyoutLayout& layout, const Palette& palette, int thin) {
  for (const FlyoutArrow& a : layout.arrows) {
    const COLORREF colour = InkColour(palette, a.ink);
    UniqueGdiObject brush(CreateSolidBrush(colour)), pen(CreatePen(PS_SOLID, 1, colour));
    if (!brush || !pen) continue;
    SelectGuard selectBrush(dc, brush.get()), selectPen(dc, pen.get());
    const int middle = (a.box.left + a.box.right) / 2, top = a.box.top, bottom = a.box.bottom - 1;
    const POINT up[] = {{a.box.left, bottom}, {a.box.right - 1, bottom}, {middle, top}};
    const POINT down[] = {{a.box.left, top}, {a.box.right - 1, top}, {middle, bottom}};
    Polygon(dc, a.up ? up : down, 3);
  }
  for (const FlyoutSparkline& line : layout.sparklines) {
    if (line.points.size() < 2) continue;
    std::vector<POINT> points;
    for (const FlyoutPoint& p : line.points) points.push_back({p.x, p.y});
    UniqueGdiObject pen(CreatePen(PS_SOLID, thin, palette.faint));
    if (!pen) continue;
    {
      SelectGuard selectPen(dc, pen.get());
      Polyline(dc, points.data(), static_cast<int>(points.size()));
    }
    Dot(dc, line.points[line.lowest], 2 * thin, palette.cold);
    Dot(dc, line.points[line.highest], 2 * thin, palette.warm);
  }
}

// The monitor's DPI for a point, before there is a window on it.
int DpiAt(POINT point) {
  const UINT dpi = MonitorDpi(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
  return dpi != 0 ? static_cast<int>(dpi) : DpiOfWindow(nullptr);
}

RECT WorkAreaAt(POINT point) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &monitor)) {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
  }
  RECT work = monitor.rcWork;
  // Wine may give another process the whole monitor as its work area (seen after a change of
  // scale): the taskbar's own rectangle is taken off as well, on whichever edge it stands.
  RECT bar{}, overlap{};
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  if (taskbar != nullptr && GetWindowRect(taskbar, &bar) && IntersectRect(&overlap, &bar, &work)) {
    const bool across = bar.right - bar.left >= bar.bottom - bar.top;
    if (across && bar.top > (work.top + work.bottom) / 2) work.bottom = std::min(work.bottom, bar.top);
    if (across && bar.top <= (work.top + work.bottom) / 2) work.top = std::max(work.top, bar.bottom);
    if (!across && bar.left > (work.left + work.right) / 2) work.right = std::min(work.right, bar.left);
    if (!across && bar.left <= (work.left + work.right) / 2) work.left = std::max(work.left, bar.right);
  }
  return work;
}

// Where the window goes: beside the anchor as the system places its own flyouts, inside the
// work area of the anchor's monitor whichever edge the taskbar is on.
POINT PlaceBeside(const RECT& anchor, SIZE size) {
  const POINT centre{(anchor.left + anchor.right) / 2, (anchor.top + anchor.bottom) / 2};
  const RECT work = WorkAreaAt(centre);
  // The taskbar's edge: the side of the work area the anchor lies beyond (or nearest to).
  UINT flags = TPM_VERTICAL;
  POINT at{centre.x, anchor.top};
  if (centre.y >= work.bottom) {
    flags |= TPM_BOTTOMALIGN | TPM_CENTERALIGN;
  } else if (centre.y < work.top) {
    flags |= TPM_TOPALIGN | TPM_CENTERALIGN;
    at.y = anchor.bottom;
  } else if (centre.x >= work.right) {
    flags = TPM_RIGHTALIGN | TPM_VCENTERALIGN;
    at = {anchor.left, centre.y};
  } else if (centre.x < work.left) {
    flags = TPM_LEFTALIGN | TPM_VCENTERALIGN;
    at = {anchor.right, centre.y};
  } else {
    flags |= TPM_BOTTOMALIGN | TPM_CENTERALIGN;
  }
  RECT placed{};
  using CalculateFn = BOOL(WINAPI*)(const POINT*, const SIZE*, UINT, RECT*, RECT*);
  static const auto calculate =
      SystemFunction<CalculateFn>(GetModuleHandleW(L"user32.dll"), "CalculatePopupWindowPosition");
  RECT exclude = anchor;
  if (calculate == nullptr || !calculate(&at, &size, flags | TPM_WORKAREA, &exclude, &placed)) {
    placed = {at.x - size.cx / 2, at.y - size.cy, at.x - size.cx / 2 + size.cx, at.y};
  }
  // Whatever the system made of it, the whole window stays in the work area.
  POINT topLeft{placed.left, placed.top};
  topLeft.x = std::clamp(topLeft.x, work.left, std::max(work.left, work.right - size.cx));
  topLeft.y = std::clamp(topLeft.y, work.top, std::max(work.top, work.bottom - size.cy));
  return topLeft;
}

// The hours' precipitation: solid where it is likely, hatched and outlined where it is only
// possible; a brush the system would not give leaves the bars out.
void DrawBars(HDC dc, const std::vector<FlyoutBar>& bars, const Palette& palette) {
  if (bars.empty()) return;
  UniqueGdiObject solid(CreateSolidBrush(palette.precip));
  UniqueGdiObject hatched(CreateHatchBrush(HS_BDIAGONAL, palette.precip));
  if (!solid || !hatched) return;
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, palette.background);
  for (const FlyoutBar& b : bars) {
    const RECT r{b.box.left, b.box.top, b.box.right, b.box.bottom};
    FillRect(dc, &r, static_cast<HBRUSH>(b.likely ? solid.get() : hatched.get()));
    if (!b.likely) FrameRect(dc, &r, static_cast<HBRUSH>(solid.get()));
  }
}

}  // namespace

ForecastWindow::ForecastWindow(HINSTANCE instance, HWND owner) {
  // A tool window owned by the hidden main window: no taskbar button, no Alt+Tab entry. The
  // tool style alone is enough on Windows; Wine's taskbar also shows an unowned tool window.
  if (!window_.Create(this, instance,
                      {.name = kWindowClass, .style = CS_DROPSHADOW, .cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))},
                      {.exStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                       .title = kTitle,
                       .style = WS_POPUP | WS_BORDER,
                       .width = 1,
                       .height = 1,
                       .parent = owner}))
    throw ErrorWithCode("Cannot create the forecast window", GetLastError());
}

ForecastWindow::~ForecastWindow() { window_.Destroy(); }

bool ForecastWindow::IsOpen() const { return window_ && IsWindowVisible(window_.get()); }

void ForecastWindow::Toggle(const RECT& anchor, const FlyoutContent& content, FlyoutOpener opener) {
  if (IsOpen()) {
    Close();
    return;
  }
  // The press of this click, on the icon, took the activation away: the click closed it. However
  // long the click took; a key opens it whatever came before.
  if (std::exchange(closedByOpener_, false) && !opener.byKeyboard) return;
  opener_ = std::move(opener);
  content_ = content;
  SetWindowTextW(window_.get(), ToWide(FlyoutName(content_)).c_str());
  // The hours, days and rates as text, asked for again (WM_GETOBJECT) when this is announced.
  DescriptionChanged(window_.get());
  Open(anchor);
}

void ForecastWindow::ForgetOpenerPress() { closedByOpener_ = false; }

void ForecastWindow::Close() {
  if (IsOpen()) ShowWindow(window_.get(), SW_HIDE);
}

void ForecastWindow::LayOut(int dpi, const RECT& work) {
  // The border is outside the layout's client area.
  const int border = GetSystemMetrics(SM_CXBORDER);
  struct WindowDc {
    HWND window;
    HDC dc;
    ~WindowDc() { ReleaseDC(window, dc); }
  } screen{window_.get(), GetDC(window_.get())};
  // A work area too small for the window at the monitor's scale (a small screen at 150 %, many
  // currencies) gets it at a smaller scale rather than cut off.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const Fonts fonts(dpi);
    layout_ = LayOutFlyout(content_, dpi, MeasureIn(screen.dc, fonts));
    drawnDpi_ = dpi;
    const long roomY = work.bottom - work.top - 2 * border, roomX = work.right - work.left - 2 * border;
    if ((layout_.height <= roomY && layout_.width <= roomX) || dpi <= kSmallestDpi) break;
    dpi = std::max(kSmallestDpi, static_cast<int>(std::min(static_cast<long long>(dpi) * roomY / layout_.height,
                                                           static_cast<long long>(dpi) * roomX / layout_.width)));
  }
}

void ForecastWindow::Open(const RECT& anchor) {
  const POINT centre{(anchor.left + anchor.right) / 2, (anchor.top + anchor.bottom) / 2};
  const RECT work = WorkAreaAt(centre);
  const int dpi = DpiAt(centre);
  LayOut(dpi, work);
  const int border = GetSystemMetrics(SM_CXBORDER);
  SIZE size{layout_.width + 2 * border, layout_.height + 2 * border};
  POINT at = PlaceBeside(anchor, size);
  SetWindowPos(window_.get(), HWND_TOPMOST, at.x, at.y, size.cx, size.cy, SWP_NOACTIVATE);
  // On a monitor of another scale the window now knows its real DPI: lay out again for it.
  if (Dpi() != dpi) {
    LayOut(Dpi(), work);
    size = {layout_.width + 2 * border, layout_.height + 2 * border};
    at = PlaceBeside(anchor, size);
    SetWindowPos(window_.get(), nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LoadPictures();
  ShowWindow(window_.get(), SW_SHOW);
  // Allowed while this program is the foreground one (the click's release made it so, a key's
  // shell message allows it): otherwise the window would never be active, and neither a click
  // elsewhere nor Esc would close it.
  if (!SetForegroundWindow(window_.get())) TraceFailure(L"SetForegroundWindow for the forecast", GetLastError());
  SetFocus(window_.get());
  InvalidateRect(window_.get(), nullptr, FALSE);
  UpdateWindow(window_.get());
}

// The strips of sky pictures at every size the layout asks for, decoded once each: GDI+ is
// loaded for that and unloaded again.
void ForecastWindow::LoadPictures() {
  std::vector<int> wanted;
  for (const FlyoutPicture& p : layout_.pictures) {
    if (!strips_.contains(p.box.width()) &&
        std::find(wanted.begin(), wanted.end(), p.box.width()) == wanted.end())
      wanted.push_back(p.box.width());
  }
  if (wanted.empty()) return;
  try {
    const GdiplusLibrary gdiplus;
    HMODULE module = GetModuleHandleW(nullptr);
    for (int size : wanted) {
      const int rendered = FlyoutArtSize(size);
      const std::wstring name = L"SKY" + std::to_wstring(rendered);
      HRSRC found = FindResourceW(module, name.c_str(), L"PNG");
      HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
      const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
      if (bytes == nullptr) continue;
      SIZE decoded{};
      strips_[size].reset(DecodePicture(bytes, SizeofResource(module, found), FromWide(name), size, rendered, decoded));
    }
  } catch (const std::exception&) {
    // No pictures rather than no window.
  }
}

void ForecastWindow::DrawPictures(HDC dc) const {
  UniqueMemoryDc source(CreateCompatibleDC(dc));
  if (!source) return;
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  for (const FlyoutPicture& p : layout_.pictures) {
    const auto strip = strips_.find(p.box.width());
    const int index = FlyoutSkyIndex(p.sky);
    if (strip == strips_.end() || !strip->second || index < 0) continue;
    SelectGuard select(source.get(), strip->second.get());
    const int size = p.box.width();
    GdiAlphaBlend(dc, p.box.left, p.box.top, size, size, source.get(), index * size, 0, size, size, blend);
  }
}

int ForecastWindow::Dpi() const { return DpiOfWindow(window_.get()); }

void ForecastWindow::Paint(HDC target) {
  RECT client{};
  GetClientRect(window_.get(), &client);
  // Drawn off screen first, so that the window never shows half a picture.
  UniqueMemoryDc dc(CreateCompatibleDC(target));
  UniqueGdiObject bitmap(CreateCompatibleBitmap(target, client.right, client.bottom));
  if (!dc || !bitmap) return;
  SelectGuard selectBitmap(dc.get(), bitmap.get());
  const Palette palette = CurrentPalette();
  const Fonts fonts(drawnDpi_);

  UniqueGdiObject background(CreateSolidBrush(palette.background));
  FillRect(dc.get(), &client, static_cast<HBRUSH>(background.get()));
  UniqueGdiObject rule(CreateSolidBrush(palette.rule));
  for (const FlyoutBox& b : layout_.separators) {
    const RECT r{b.left, b.top, b.right, b.bottom};
    FillRect(dc.get(), &r, static_cast<HBRUSH>(rule.get()));
  }

  DrawBars(dc.get(), layout_.bars, palette);
  const int thin = std::max(1, layout_.width / 360);
  if (layout_.zeroLine) {
    UniqueGdiObject pen(CreatePen(PS_DOT, 1, palette.zero));
    SelectGuard selectPen(dc.get(), pen.get());
    MoveToEx(dc.get(), layout_.chart.left, *layout_.zeroLine, nullptr);
    LineTo(dc.get(), layout_.chart.right, *layout_.zeroLine);
  }
  if (layout_.curve.size() >= 2) {
    std::vector<POINT> points;
    for (const FlyoutPoint& p : layout_.curve) points.push_back({p.x, p.y});
    LOGBRUSH brush{BS_SOLID, palette.curve, 0};
    UniqueGdiObject pen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                           static_cast<DWORD>(2 * thin), &brush, 0, nullptr));
    SelectGuard selectPen(dc.get(), pen.get());
    Polyline(dc.get(), points.data(), static_cast<int>(points.size()));
    UniqueGdiObject dotBrush(CreateSolidBrush(palette.curve));
    SelectGuard selectBrush(dc.get(), dotBrush.get());
    for (std::size_t k = 0; k < points.size(); k += 3) {
      Ellipse(dc.get(), points[k].x - 2 * thin, points[k].y - 2 * thin, points[k].x + 2 * thin + 1,
              points[k].y + 2 * thin + 1);
    }
  }
  DrawPictures(dc.get());
  DrawRateMarks(dc.get(), layout_, palette, thin);

  SetBkMode(dc.get(), TRANSPARENT);
  for (const FlyoutText& t : layout_.texts) {
    SelectGuard selectFont(dc.get(), fonts[t.font]);
    SetTextColor(dc.get(), InkColour(palette, t.ink));
    const std::wstring wide = ToWide(t.text);
    RECT r{t.box.left, t.box.top, t.box.right, t.box.bottom};
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
    format |= t.align == FlyoutAlign::Centre ? DT_CENTER : t.align == FlyoutAlign::Right ? DT_RIGHT : DT_LEFT;
    DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &r, format);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
}

LRESULT ForecastWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(window_.get(), &ps);
      if (dc != nullptr) {
        try {
          Paint(dc);
        } catch (const std::exception&) {
          // A font the system would not give: the window stays plain rather than failing.
        }
        EndPaint(window_.get(), &ps);
      }
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_GETOBJECT:
      // A screen reader hears what is painted, not only the window's name.
      if (const LRESULT answer = AnswerClientObject(window_.get(), wp, lp, ToWide(FlyoutDescription(content_))))
        return answer;
      return DefWindowProcW(window_.get(), msg, wp, lp);
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE && IsOpen()) {
        // Decided now, while the press that took the activation is still held (or as the click's
        // release hands the foreground to the icon's own window).
        closedByOpener_ = opener_.tookActivation && opener_.tookActivation(reinterpret_cast<HWND>(lp));
        Close();
      }
      return 0;
    case WM_KEYDOWN:
      if (wp == VK_ESCAPE && IsOpen()) {
        Close();
        if (opener_.byKeyboard && opener_.giveBackFocus) opener_.giveBackFocus();
      }
      return 0;
    case WM_SETTINGCHANGE: {
      // Most of these say nothing about the window (the environment, a policy refresh): it stays.
      const auto* area = reinterpret_cast<const wchar_t*>(lp);
      const std::string text = area != nullptr ? FromWide(std::wstring_view(area, wcsnlen(area, 64))) : "";
      const SettingReaction reaction = ReactionToSettingChange(static_cast<unsigned>(wp), text);
      if (reaction == SettingReaction::Close) Close();
      if (reaction == SettingReaction::Repaint) InvalidateRect(window_.get(), nullptr, FALSE);
      return 0;
    }
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      InvalidateRect(window_.get(), nullptr, FALSE);
      return 0;
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
      // Another scale or screen: the next opening lays out afresh; an open window closes.
      Close();
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    default:
      return DefWindowProcW(window_.get(), msg, wp, lp);
  }
}

}  // namespace corvella
