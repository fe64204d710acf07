// The program's menu, shared by the tray icon and the widget: built once from a table of
// items, opened at a point, and asked for its default item on a double click.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

#include "common/handles_win32.h"
#include "common/message_window_win32.h"

namespace corvella {

enum class MenuItemKind { Default, Check, Plain, Separator };

struct MenuItemSpec {
  MenuItemKind kind;
  UINT command;              // 0 for a separator
  std::string_view caption;  // Windows-1251
};

class PopupMenu : private MessageHandler {
 public:
  explicit PopupMenu(std::span<const MenuItemSpec> items);
  ~PopupMenu();
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  HMENU handle() const { return menu_.get(); }
  void SetChecked(UINT command, bool checked);
  bool Checked(UINT command) const;
  void SetEnabled(UINT command, bool enabled);
  // The item's picture, drawn with its alpha at `size` pixels; the menu keeps the icon.
  void SetGlyph(UINT command, UniqueIcon icon, int size);

  // Makes the menu's own hidden window the foreground window: the one window that then
  // owns the menu and draws its glyph, so the menu takes the keyboard and a click elsewhere
  // closes it. The caller does this before it handles what is pending and opens the menu.
  void BringForward() const;
  // Opens the menu at `at` and returns the chosen command (0 for none); the caller runs
  // it, so nothing runs while the menu's own loop is on the stack. Afterwards a null
  // message goes to `after`, the caller's window.
  UINT Track(POINT at, HWND after) const;
  // Opens the menu beside `keepClear` (the icon's rectangle, for a menu opened by a key, when
  // the pointer may be anywhere), on the side away from the taskbar's edge, never over it.
  UINT TrackBeside(const RECT& keepClear, HWND after) const;
  // Whether the menu's window still has the foreground: a menu cancelled with Esc leaves it
  // there, a click in another window takes it away.
  bool HoldsForeground() const { return GetForegroundWindow() == owner_.get(); }
  // The first item marked as default, in menu order (0 when there is none).
  UINT DefaultCommand() const;

 private:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;
  UINT Open(POINT at, UINT flags, const TPMPARAMS* exclude, HWND after) const;

  UniqueMenu menu_;
  MessageWindow owner_;
  UniqueIcon glyph_;
  UINT glyphCommand_ = 0;
  int glyphSize_ = 0;
};

}  // namespace corvella
