// Looks at a running corvella.exe's desktop widget from outside, and presses keys in an open
// popup menu, for the widget's end-to-end test.
//   widget-probe widget SECONDS shown|hidden   waits for that state; prints "x y width height topmost"
//   widget-probe menu-keys SECONDS KEY...      waits for an open menu, then presses down/up/return/escape
//   widget-probe tray-menu SECONDS KEY...      opens the tray icon's menu as the shell does, then the keys
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/e2e/wait_for_win32.h"

namespace {

HWND FindWidget() { return FindWindowW(L"CorvellaWidget", nullptr); }

int Widget(double seconds, bool shown) {
  HWND widget = nullptr;
  if (!WaitFor(seconds, [&] {
        widget = FindWidget();
        return widget != nullptr && (IsWindowVisible(widget) != FALSE) == shown;
      })) {
    std::fprintf(stderr, widget == nullptr ? "no widget window\n" : "the widget is not %s\n",
                 shown ? "shown" : "hidden");
    return 1;
  }
  RECT r{};
  GetWindowRect(widget, &r);
  const bool topmost = (GetWindowLongW(widget, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  std::printf("%ld %ld %ld %ld %d\n", r.left, r.top, r.right - r.left, r.bottom - r.top, topmost ? 1 : 0);
  return 0;
}

int MenuKeys(double seconds, int count, wchar_t** keys) {
  HWND menu = nullptr;
  if (!WaitFor(seconds, [&] {
        menu = FindWindowW(L"#32768", nullptr);
        return menu != nullptr && IsWindowVisible(menu);
      })) {
    std::fprintf(stderr, "no menu is open\n");
    return 1;
  }
  Sleep(300);
  for (int i = 0; i < count; ++i) {
    WPARAM key = 0;
    if (std::wcscmp(keys[i], L"down") == 0) key = VK_DOWN;
    if (std::wcscmp(keys[i], L"up") == 0) key = VK_UP;
    if (std::wcscmp(keys[i], L"return") == 0) key = VK_RETURN;
    if (std::wcscmp(keys[i], L"escape") == 0) key = VK_ESCAPE;
    if (key == 0) {
      std::fprintf(stderr, "unknown key %ls\n", keys[i]);
      return 2;
    }
    // The menu loop reads keys from its own queue.
    PostMessageW(menu, WM_KEYDOWN, key, 0);
    PostMessageW(menu, WM_KEYUP, key, 0);
    Sleep(150);
  }
  return 0;
}

int TrayMenu(double seconds, int count, wchar_t** keys) {
  HWND tray = nullptr;
  if (!WaitFor(seconds, [&] { return (tray = FindWindowW(L"CorvellaTrayWindow", nullptr)) != nullptr; })) {
    std::fprintf(stderr, "no tray window\n");
    return 1;
  }
  // What the shell sends when the right button goes down on the icon.
  PostMessageW(tray, WM_USER + 0x400, 1, WM_RBUTTONDOWN);
  return MenuKeys(seconds, count, keys);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"widget") == 0) {
    return Widget(std::wcstod(argv[2], nullptr), std::wcscmp(argv[3], L"shown") == 0);
  }
  if (argc >= 4 && std::wcscmp(argv[1], L"menu-keys") == 0) {
    return MenuKeys(std::wcstod(argv[2], nullptr), argc - 3, argv + 3);
  }
  if (argc >= 4 && std::wcscmp(argv[1], L"tray-menu") == 0) {
    return TrayMenu(std::wcstod(argv[2], nullptr), argc - 3, argv + 3);
  }
  std::fprintf(stderr, "usage: widget-probe widget SECONDS shown|hidden | menu-keys SECONDS KEY...\n");
  return 2;
}
