// Drives a running corvella.exe from outside, as a user would: waits for its window,
// opens the tray menu the way the shell does on a right-button press, and picks an item.
//   corvella-probe wait-title TITLE SECONDS     exit 0 once such a window exists
//   corvella-probe menu-last SECONDS            open the tray menu and choose its last item
//   corvella-probe close-window                 close the main window directly
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr UINT kTrayCallback = WM_USER + 0x400;

bool TopLevelWithTitle(const std::wstring& title) {
  for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    if (GetWindow(w, GW_OWNER) != nullptr) continue;
    wchar_t text[128] = {};
    GetWindowTextW(w, text, 128);
    if (title == text) return true;
  }
  return false;
}

HWND FindTopLevel(const wchar_t* className) {
  for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (std::wcscmp(name, className) == 0) return w;
  }
  return nullptr;
}

template <class Check>
bool WaitFor(double seconds, Check check) {
  for (DWORD waited = 0; waited <= static_cast<DWORD>(seconds * 1000); waited += 100) {
    if (check()) return true;
    Sleep(100);
  }
  return false;
}

int MenuLast(double seconds) {
  HWND tray = nullptr;
  if (!WaitFor(seconds, [&] { return (tray = FindWindowW(L"CorvellaTrayWindow", nullptr)) != nullptr; })) {
    std::fprintf(stderr, "no tray window\n");
    return 1;
  }
  // What the shell sends when the right button goes down on the icon.
  PostMessageW(tray, kTrayCallback, 1, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  if (!WaitFor(seconds, [&] {
        menu = FindWindowW(L"#32768", nullptr);
        return menu != nullptr && IsWindowVisible(menu);
      })) {
    std::fprintf(stderr, "the menu did not open\n");
    return 1;
  }
  Sleep(300);
  // The menu loop reads keys from its own queue: Up selects the last item, Enter picks it.
  PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
  PostMessageW(menu, WM_KEYUP, VK_UP, 0);
  Sleep(200);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(menu, WM_KEYUP, VK_RETURN, 0);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"wait-title") == 0) {
    std::wstring title = argv[2];
    return WaitFor(std::wcstod(argv[3], nullptr), [&] { return TopLevelWithTitle(title); }) ? 0 : 1;
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"menu-last") == 0) return MenuLast(std::wcstod(argv[2], nullptr));
  if (argc >= 2 && std::wcscmp(argv[1], L"close-window") == 0) {
    HWND form = FindTopLevel(L"CorvellaMainForm");
    if (form == nullptr) {
      std::fprintf(stderr, "no main window\n");
      return 1;
    }
    PostMessageW(form, WM_CLOSE, 0, 0);
    return 0;
  }
  std::fprintf(stderr, "usage: corvella-probe wait-title TITLE SECONDS | menu-last SECONDS | close-window\n");
  return 2;
}
