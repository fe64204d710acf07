// Drives a running corvella.exe from outside, as a user would: waits for its window,
// opens the tray menu the way the shell does on a right-button press, and picks an item.
//   corvella-probe wait-title TITLE SECONDS     exit 0 once such a window exists
//   corvella-probe menu-last SECONDS            open the tray menu and choose its last item
//   corvella-probe close-window                 close the main window directly
//   corvella-probe dialog-shown SECONDS [0]      exit 0 once the settings dialog is shown (hidden)
//   corvella-probe control ID                   print a dialog control's screen centre, whether it
//                                               is visible and enabled, its check state and text
//   corvella-probe error-box [dismiss]          exit 0 when the program's error box is open
//                                               (and close it with its OK button)
//   corvella-probe layout                       check that every visible control of the dialog
//                                               lies inside its parent and shows its whole caption
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

struct Found {
  int id;
  HWND window;
};

HWND DialogControl(HWND form, int id) {
  Found found{id, nullptr};
  EnumChildWindows(
      form,
      [](HWND w, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        if (GetDlgCtrlID(w) != f->id) return TRUE;
        f->window = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.window;
}

// Prints "x y visible enabled checked text" (text as UTF-8).
int ShowControl(int id) {
  HWND form = FindTopLevel(L"CorvellaMainForm");
  HWND control = form ? DialogControl(form, id) : nullptr;
  if (control == nullptr) {
    std::fprintf(stderr, "no control %d\n", id);
    return 1;
  }
  RECT r;
  GetWindowRect(control, &r);
  // Asked of the control itself: a list shows its selected entry as its text.
  wchar_t text[512] = {};
  SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  char utf8[2048] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  const LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
  std::printf("%ld %ld %d %d %d %s\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2,
              IsWindowVisible(control) ? 1 : 0, IsWindowEnabled(control) ? 1 : 0, checked == BST_CHECKED ? 1 : 0,
              utf8);
  return 0;
}

// Every visible control lies inside its parent's client area, and a check box or label is
// wide and tall enough for its caption in its own font.
int CheckLayout() {
  HWND form = FindTopLevel(L"CorvellaMainForm");
  if (form == nullptr || !IsWindowVisible(form)) {
    std::fprintf(stderr, "the dialog is not shown\n");
    return 1;
  }
  int faults = 0;
  EnumChildWindows(
      form,
      [](HWND w, LPARAM lp) -> BOOL {
        auto* count = reinterpret_cast<int*>(lp);
        if (!IsWindowVisible(w)) return TRUE;
        HWND parent = GetParent(w);
        RECT own, area;
        GetWindowRect(w, &own);
        GetClientRect(parent, &area);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
        wchar_t cls[32] = {};
        GetClassNameW(w, cls, 32);
        const int id = GetDlgCtrlID(w);
        // The logo may reach above the client area, as it always has.
        if (id != 1001 && (own.left < area.left || own.top < area.top || own.right > area.right ||
                           own.bottom > area.bottom)) {
          std::printf("control %d outside its parent\n", id);
          ++*count;
        }
        const LONG style = GetWindowLongW(w, GWL_STYLE);
        const bool checkBox = _wcsicmp(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        const bool label = _wcsicmp(cls, L"Static") == 0;
        wchar_t text[256] = {};
        GetWindowTextW(w, text, 256);
        if ((checkBox || label) && text[0] != 0) {
          // Fonts belong to their process: make the dialog's own again at this DPI.
          HDC dc = GetDC(w);
          const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
          const bool header = id >= 1002 && id <= 1004;
          const int pixels = id == 1002 ? 19 : id == 1003 ? 12 : 11;
          HFONT font = CreateFontW(-(pixels * dpi / 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                   header ? L"Tahoma" : L"MS Sans Serif");
          HGDIOBJ old = SelectObject(dc, font);
          SIZE size{};
          GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
          SelectObject(dc, old);
          DeleteObject(font);
          ReleaseDC(w, dc);
          // A check box needs room for its box besides the caption.
          const LONG room =
              (own.right - own.left) - (checkBox ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : header ? 6 * dpi / 96 : 0);
          if (size.cx > room || size.cy > own.bottom - own.top + 1) {
            std::printf("control %d: caption %ldx%ld in %ldx%ld\n", id, size.cx, size.cy, room,
                        own.bottom - own.top);
            ++*count;
          }
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&faults));
  return faults == 0 ? 0 : 1;
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
  if (argc >= 3 && std::wcscmp(argv[1], L"dialog-shown") == 0) {
    const bool wanted = argc < 4 || std::wcscmp(argv[3], L"0") != 0;
    return WaitFor(std::wcstod(argv[2], nullptr), [&] {
             HWND form = FindTopLevel(L"CorvellaMainForm");
             return form != nullptr && (IsWindowVisible(form) != FALSE) == wanted;
           })
               ? 0
               : 1;
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"control") == 0) return ShowControl(static_cast<int>(std::wcstol(argv[2], nullptr, 10)));
  if (argc >= 2 && std::wcscmp(argv[1], L"layout") == 0) return CheckLayout();
  if (argc >= 2 && std::wcscmp(argv[1], L"error-box") == 0) {
    HWND box = FindWindowW(L"#32770", L"Corvella");
    if (box == nullptr || !IsWindowVisible(box)) return 1;
    if (argc >= 3 && std::wcscmp(argv[2], L"dismiss") == 0) PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  std::fprintf(stderr,
               "usage: corvella-probe wait-title TITLE SECONDS | menu-last SECONDS | close-window |\n"
               "       dialog-shown SECONDS [0] | control ID | layout | error-box [dismiss]\n");
  return 2;
}
