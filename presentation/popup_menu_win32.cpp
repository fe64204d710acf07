#include "presentation/popup_menu_win32.h"

#include "common/cp1251.h"

namespace corvella {

PopupMenu::PopupMenu(std::span<const MenuItemSpec> items) : menu_(CreatePopupMenu()) {
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

void PopupMenu::SetGlyph(UINT command, UniqueGdiObject bitmap) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_BITMAP;
  info.hbmpItem = static_cast<HBITMAP>(bitmap.get());
  SetMenuItemInfoW(menu_.get(), command, FALSE, &info);
  glyph_ = std::move(bitmap);  // the old one goes only once the item no longer uses it
}

UINT PopupMenu::Track(HWND owner, POINT at) const {
  SetForegroundWindow(owner);
  const BOOL chosen = TrackPopupMenu(menu_.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0,
                                     owner, nullptr);
  return static_cast<UINT>(chosen);
}

UINT PopupMenu::DefaultCommand() const {
  const UINT command = GetMenuDefaultItem(menu_.get(), FALSE, 0);
  return command == static_cast<UINT>(-1) ? 0 : command;
}

}  // namespace corvella
