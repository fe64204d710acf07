#include "presentation/popup_menu_win32.h"

#include "common/cp1251.h"

namespace corvella {
namespace {

constexpr wchar_t kOwnerClass[] = L"CorvellaMenuOwner";

}  // namespace

PopupMenu::PopupMenu(std::span<const MenuItemSpec> items) : menu_(CreatePopupMenu()) {
  // Without its owner the menu cannot be tracked; Track then returns 0 (nothing chosen), as
  // when the user clicks elsewhere.
  owner_.Create(this, GetModuleHandleW(nullptr), {.name = kOwnerClass}, {.exStyle = WS_EX_TOOLWINDOW});
  // Pictures share the check marks' column, as in the shell's own menus.
  MENUINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIM_STYLE;
  info.dwStyle = MNS_CHECKORBMP;
  SetMenuInfo(menu_.get(), &info);

  for (const MenuItemSpec& item : items) {
    if (item.kind == MenuItemKind::Separator) {
      AppendMenuW(menu_.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    AppendMenuW(menu_.get(), MF_STRING, item.command, ToWide(item.caption).c_str());
    // The default item is drawn bold; a double click on the icon runs it.
    if (item.kind == MenuItemKind::Default) SetMenuDefaultItem(menu_.get(), item.command, FALSE);
  }
}

void PopupMenu::SetChecked(UINT command, bool checked) {
  CheckMenuItem(menu_.get(), command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool PopupMenu::Checked(UINT command) const {
  return (GetMenuState(menu_.get(), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void PopupMenu::SetEnabled(UINT command, bool enabled) {
  EnableMenuItem(menu_.get(), command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

PopupMenu::~PopupMenu() { owner_.Destroy(); }

void PopupMenu::SetGlyph(UINT command, UniqueIcon icon, int size) {
  glyph_ = std::move(icon);
  glyphCommand_ = command;
  glyphSize_ = size;
  // Drawn by the owner window: a menu's own bitmaps lose their alpha on some systems.
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_BITMAP;
  info.hbmpItem = glyph_ ? HBMMENU_CALLBACK : nullptr;
  SetMenuItemInfoW(menu_.get(), command, FALSE, &info);
}

void PopupMenu::BringForward() const {
  // Refused only when another program holds the foreground: the menu then still opens, it
  // just stays open on a click elsewhere.
  SetForegroundWindow(owner_.get());
}

UINT PopupMenu::Track(POINT at, HWND after) const { return Open(at, 0, nullptr, after); }

UINT PopupMenu::TrackBeside(const RECT& keepClear, HWND after) const {
  const POINT centre{(keepClear.left + keepClear.right) / 2, (keepClear.top + keepClear.bottom) / 2};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromPoint(centre, MONITOR_DEFAULTTONEAREST), &monitor))
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
  const RECT& work = monitor.rcWork;
  // The icon lies beyond the work area on the taskbar's side: the menu opens away from it, from
  // the icon's corner; above the icon when it is inside (the overflow's window, a rect unknown).
  POINT at{keepClear.left, keepClear.top};
  UINT flags = TPM_VERTICAL | TPM_LEFTALIGN | TPM_BOTTOMALIGN;
  if (centre.x >= work.right || centre.x < work.left) {
    flags = TPM_HORIZONTAL | TPM_TOPALIGN | (centre.x < work.left ? TPM_LEFTALIGN : TPM_RIGHTALIGN);
    at.x = centre.x < work.left ? keepClear.right : keepClear.left;
  } else if (centre.y < work.top) {
    flags = TPM_VERTICAL | TPM_LEFTALIGN | TPM_TOPALIGN;
    at.y = keepClear.bottom;
  }
  TPMPARAMS exclude{};
  exclude.cbSize = sizeof exclude;
  exclude.rcExclude = keepClear;
  return Open(at, flags, &exclude, after);
}

UINT PopupMenu::Open(POINT at, UINT flags, const TPMPARAMS* exclude, HWND after) const {
  // A window made foreground after BringForward (by what was pending) gives the place back.
  if (GetForegroundWindow() != owner_.get()) BringForward();
  const BOOL chosen = TrackPopupMenuEx(menu_.get(), flags | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y,
                                       owner_.get(), const_cast<TPMPARAMS*>(exclude));
  if (after != nullptr) PostMessageW(after, WM_NULL, 0, 0);
  return static_cast<UINT>(chosen);
}

LRESULT PopupMenu::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_MEASUREITEM) {
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
    if (item->CtlType == ODT_MENU && item->itemID == glyphCommand_) {
      // A little air between the picture and the caption.
      item->itemWidth = static_cast<UINT>(glyphSize_ + glyphSize_ / 4);
      item->itemHeight = static_cast<UINT>(glyphSize_);
      return TRUE;
    }
  }
  if (msg == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->CtlType == ODT_MENU && item->itemID == glyphCommand_ && glyph_) {
      const RECT& r = item->rcItem;
      const int x = r.left + (r.right - r.left - glyphSize_) / 2;
      const int y = r.top + (r.bottom - r.top - glyphSize_) / 2;
      DrawIconEx(item->hDC, x, y, glyph_.get(), glyphSize_, glyphSize_, 0, nullptr,
                 DI_NORMAL);
      return TRUE;
    }
  }
  return DefWindowProcW(owner_.get(), msg, wp, lp);
}

UINT PopupMenu::DefaultCommand() const {
  const UINT command = GetMenuDefaultItem(menu_.get(), FALSE, 0);
  return command == static_cast<UINT>(-1) ? 0 : command;
}

}  // namespace corvella
