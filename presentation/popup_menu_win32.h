// The program's menu, shared by the tray icon and the widget: built once from a table of
// items, opened at a point, and asked for its default item on a double click.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

#include "common/handles_win32.h"

namespace corvella {

enum class MenuItemKind { Default, Check, Plain, Separator };

struct MenuItemSpec {
  MenuItemKind kind;
  UINT command;              // 0 for a separator
  std::string_view caption;  // Windows-1251
};

class PopupMenu {
 public:
  explicit PopupMenu(std::span<const MenuItemSpec> items);

  HMENU handle() const { return menu_.get(); }
  void SetChecked(UINT command, bool checked);
  bool Checked(UINT command) const;
  void SetEnabled(UINT command, bool enabled);
  // The item's picture; the menu keeps the bitmap. A null bitmap takes the picture away.
  void SetGlyph(UINT command, UniqueGdiObject bitmap);

  // Opens the menu at `at` for `owner`, made the foreground window first so that a click
  // elsewhere closes the menu, and returns the chosen command (0 for none). The caller
  // runs it: nothing runs while the menu's own loop is on the stack.
  UINT Track(HWND owner, POINT at) const;
  // The first item marked as default, in menu order (0 when there is none).
  UINT DefaultCommand() const;

 private:
  UniqueMenu menu_;
  UniqueGdiObject glyph_;
};

}  // namespace corvella
