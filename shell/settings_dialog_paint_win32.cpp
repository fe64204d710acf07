// The settings dialog's own painting: the header band, its owner-drawn texts and logo, and the
// colour sample, a small window of ours that shows the digits as the icon will.
#include <string>

#include "common/cp1251.h"
#include "presentation/taskbar_look_win32.h"
#include "presentation/tray_art_win32.h"
#include "shell/settings_dialog_win32.h"

namespace corvella {

// The header band is the window colour, its text the window text's colour: a pair that reads in
// every colour scheme, the high-contrast ones included.
void SettingsDialog::PaintHeader(HDC dc) const {
  RECT band{Scale(kHeaderBand.x), Scale(kHeaderBand.y), Scale(kHeaderBand.w), Scale(kHeaderBand.h)};
  FillRect(dc, &band, GetSysColorBrush(COLOR_WINDOW));
  RECT shadow{0, band.bottom, band.right, band.bottom + 1};
  FillRect(dc, &shadow, GetSysColorBrush(COLOR_BTNSHADOW));
  RECT light{0, band.bottom + 1, band.right, band.bottom + 2};
  FillRect(dc, &light, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
}

void SettingsDialog::DrawHeaderText(const DRAWITEMSTRUCT& item) const {
  RECT r = item.rcItem;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOW));
  const ControlSpec* row = FindControl(static_cast<int>(item.CtlID));
  SelectGuard font(item.hDC, fonts_[static_cast<std::size_t>(row->font)].get());
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_WINDOWTEXT));
  const std::wstring text = ToWide(Text(row->id));
  SIZE size{};
  GetTextExtentPoint32W(item.hDC, text.c_str(), static_cast<int>(text.size()), &size);
  // The text ends at the aligned edge; the control reaches a little further for the last
  // glyph's overhang, which the advance widths leave out.
  ExtTextOutW(item.hDC, r.right - Scale(kOverhang) - size.cx, r.top, 0, nullptr, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
}

void SettingsDialog::DrawLogo(const DRAWITEMSTRUCT& item) const {
  const RECT& r = item.rcItem;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOW));
  if (!logo_) return;
  BITMAP bm{};
  GetObjectW(logo_.get(), sizeof bm, &bm);
  UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
  SelectGuard select(source.get(), logo_.get());
  SetStretchBltMode(item.hDC, HALFTONE);
  SetBrushOrgEx(item.hDC, 0, 0, nullptr);
  StretchBlt(item.hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source.get(), 0, 0, bm.bmWidth,
             bm.bmHeight, SRCCOPY);
}

void SettingsDialog::PaintSample(HWND sample, HDC dc) const {
  RECT r;
  GetClientRect(sample, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_ACTIVECAPTION));
  const int icon = Scale(kTrayIconSize);
  RECT picture{Scale(4), (r.bottom - icon) / 2, Scale(4) + icon, (r.bottom - icon) / 2 + icon};
  DrawIconEx(dc, picture.left, picture.top, samplePicture_.get(), icon, icon, 0, nullptr, DI_NORMAL);
  SetBkMode(dc, TRANSPARENT);
  {
    SelectGuard font(dc, sampleFont_.get());
    SetTextColor(dc, static_cast<COLORREF>(ColourInForce()));
    RECT digits = picture;
    InflateRect(&digits, Scale(2), 0);
    DrawTextW(dc, ToWide(kSampleTemperature).c_str(), -1, &digits, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  SelectGuard font(dc, fonts_[static_cast<std::size_t>(FontRole::kDialog)].get());
  SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
  RECT clock{picture.right + Scale(2), 0, r.right, r.bottom};
  DrawTextW(dc, clock_.c_str(), -1, &clock, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  // Focused, it shows so as a button does.
  if (GetFocus() == sample) {
    RECT focus = r;
    InflateRect(&focus, -Scale(2), -Scale(2));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &focus);
  }
}

// The colour sample: a button to the keyboard and the mouse.
LRESULT SettingsDialog::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  const HWND hwnd = sample_.get();
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      PaintSample(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_GETDLGCODE: {
      // Space and Enter are the sample's own, not the dialog's default button's.
      const auto* key = reinterpret_cast<const MSG*>(lp);
      const bool own = key != nullptr && key->message == WM_KEYDOWN &&
                       (key->wParam == VK_SPACE || key->wParam == VK_RETURN);
      return own ? DLGC_WANTMESSAGE : 0;
    }
    case WM_KEYDOWN:
      if (wp != VK_SPACE && wp != VK_RETURN) break;
      [[fallthrough]];
    case WM_LBUTTONUP:
      SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), STN_CLICKED),
                   reinterpret_cast<LPARAM>(hwnd));
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace corvella
