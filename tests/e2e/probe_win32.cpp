// Drives a running corvella.exe from outside, as a user would: waits for its window,
// opens the tray menu the way the shell does on a right-button press, and picks an item.
//   corvella-probe wait-title TITLE SECONDS     exit 0 once such a window exists
//   corvella-probe menu-last SECONDS            open the tray menu and choose its last item
//   corvella-probe close-window                 close the main window directly
//   corvella-probe menu-keys KEYS SECONDS       open the tray menu and press KEYS in it:
//                                               D down, U up, E enter, X escape, . nothing
//   corvella-probe keys KEYS SECONDS            the same in a menu that is open already
//   corvella-probe menu-rect SECONDS            print the open menu's rectangle: left top right bottom
//   corvella-probe double-click                 what the shell sends on a double click on the icon
//   corvella-probe drop-icon                    take the icon out of the notification area, as a
//                                               crashed Explorer loses it
//   corvella-probe taskbar-created              announce a new taskbar to every window
//   corvella-probe power EVENT                  send WM_POWERBROADCAST with EVENT to the main window
//   corvella-probe visible CLASS SECONDS        exit 0 once a visible window of CLASS exists
//   corvella-probe dpi                          print the taskbar's dpi and small-icon size as a
//                                               per-monitor aware program sees them
//   corvella-probe draw-entries EXE SIZE TEXT OUT.bmp
//                                               the four tray entries as EXE draws them at SIZE
//                                               with TEXT as the temperature, side by side
//   corvella-probe record FILE ARG...           append ARG... as one line to FILE (a stand-in browser)
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1251.h"
#include "presentation/tray_art_win32.h"
#include "presentation/tray_digits_win32.h"

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

HWND OpenMenu(double seconds, bool open);

HWND VisibleMenu() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

void Key(HWND menu, WPARAM key) {
  PostMessageW(menu, WM_KEYDOWN, key, 0);
  PostMessageW(menu, WM_KEYUP, key, 0);
  Sleep(150);
}

int MenuKeys(const std::wstring& keys, double seconds, bool open) {
  HWND menu = OpenMenu(seconds, open);
  if (menu == nullptr) return 1;
  Sleep(300);
  // D down, U up, E enter, X escape; anything else only waits.
  constexpr std::wstring_view kLetters = L"DUEX";
  constexpr WPARAM kKeys[] = {VK_DOWN, VK_UP, VK_RETURN, VK_ESCAPE};
  for (wchar_t k : keys) {
    const std::size_t at = kLetters.find(k);
    if (at == std::wstring_view::npos) {
      Sleep(150);
    } else {
      Key(menu, kKeys[at]);
    }
  }
  return 0;
}

int MenuRect(double seconds) {
  HWND menu = nullptr;
  if (!WaitFor(seconds, [&] { return (menu = VisibleMenu()) != nullptr; })) {
    std::fprintf(stderr, "no menu is open\n");
    return 1;
  }
  RECT r{};
  GetWindowRect(menu, &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}

HWND TrayWindow(double seconds) {
  HWND tray = nullptr;
  if (!WaitFor(seconds, [&] { return (tray = FindWindowW(L"CorvellaTrayWindow", nullptr)) != nullptr; })) {
    std::fprintf(stderr, "no tray window\n");
  }
  return tray;
}

int MenuLast(double seconds) { return MenuKeys(L"UE", seconds, true); }

// Opens the tray menu the way the shell does on a right-button press, or finds it open.
HWND OpenMenu(double seconds, bool open) {
  if (open) {
    HWND tray = TrayWindow(seconds);
    if (tray == nullptr) return nullptr;
    PostMessageW(tray, kTrayCallback, 1, WM_RBUTTONDOWN);
  }
  HWND menu = nullptr;
  if (!WaitFor(seconds, [&] { return (menu = VisibleMenu()) != nullptr; })) {
    std::fprintf(stderr, "the menu did not open\n");
    return nullptr;
  }
  return menu;
}

// Entry pictures as a 32-bit bitmap file with alpha, transparent where the mask says so.
int DrawEntries(const wchar_t* exePath, int size, const std::wstring& text, const wchar_t* outPath) {
  HMODULE exe = LoadLibraryExW(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  std::optional<corvella::TrayArt> art = exe ? corvella::LoadTrayArt(exe, size) : std::nullopt;
  if (!art) {
    std::fprintf(stderr, "no artwork of %d pixels\n", size);
    return 1;
  }
  corvella::GdiGlyphSource glyphs;
  corvella::TrayImageList list;
  list.SetArt(art->waiting, art->weather, glyphs);
  const std::string temperature = corvella::FromWide(text);
  list.PaintTrayDigits({temperature + "\xB0", temperature, true, 0}, glyphs);
  const int width = size * list.Count();
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width * size), 0);
  for (int e = 0; e < list.Count(); ++e) {
    const corvella::TrayEntry& entry = list.Entry(e);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        if (entry.mask.at(x, y) == corvella::kMaskTransparent) continue;
        pixels[static_cast<std::size_t>(y * width + e * size + x)] = entry.picture.at(x, y) | 0xFF000000;
      }
    }
  }
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -size;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size() * 4);
  FILE* out = _wfopen(outPath, L"wb");
  if (out == nullptr) return 1;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  std::fwrite(pixels.data(), 4, pixels.size(), out);
  std::fclose(out);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"wait-title") == 0) {
    std::wstring title = argv[2];
    return WaitFor(std::wcstod(argv[3], nullptr), [&] { return TopLevelWithTitle(title); }) ? 0 : 1;
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"menu-last") == 0) return MenuLast(std::wcstod(argv[2], nullptr));
  if (argc >= 4 && std::wcscmp(argv[1], L"menu-keys") == 0) {
    return MenuKeys(argv[2], std::wcstod(argv[3], nullptr), true);
  }
  if (argc >= 4 && std::wcscmp(argv[1], L"keys") == 0)
    return MenuKeys(argv[2], std::wcstod(argv[3], nullptr), false);
  if (argc >= 3 && std::wcscmp(argv[1], L"menu-rect") == 0) return MenuRect(std::wcstod(argv[2], nullptr));
  if (argc >= 2 && std::wcscmp(argv[1], L"double-click") == 0) {
    HWND tray = TrayWindow(10);
    if (tray == nullptr) return 1;
    PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONDOWN);
    PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONUP);
    PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONDBLCLK);
    PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONUP);
    return 0;
  }
  if (argc >= 2 && std::wcscmp(argv[1], L"drop-icon") == 0) {
    HWND tray = TrayWindow(10);
    if (tray == nullptr) return 1;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = tray;
    data.uID = 1;
    return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
  }
  if (argc >= 2 && std::wcscmp(argv[1], L"taskbar-created") == 0) {
    const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"power") == 0) {
    HWND form = FindTopLevel(L"CorvellaMainForm");
    if (form == nullptr) return 1;
    PostMessageW(form, WM_POWERBROADCAST, static_cast<WPARAM>(std::wcstol(argv[2], nullptr, 0)), 0);
    return 0;
  }
  if (argc >= 4 && std::wcscmp(argv[1], L"visible") == 0) {
    const std::wstring className = argv[2];
    return WaitFor(std::wcstod(argv[3], nullptr),
                   [&] {
                     HWND w = FindTopLevel(className.c_str());
                     return w != nullptr && IsWindowVisible(w);
                   })
               ? 0
               : 1;
  }
  if (argc >= 2 && std::wcscmp(argv[1], L"dpi") == 0) {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    using DpiForWindowFn = UINT(WINAPI*)(HWND);
    using MetricsForDpiFn = int(WINAPI*)(int, UINT);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")));
    auto dpiForWindow =
        reinterpret_cast<DpiForWindowFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
    auto metricsForDpi = reinterpret_cast<MetricsForDpiFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetSystemMetricsForDpi")));
    if (setContext != nullptr) setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)));
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    const UINT dpi = dpiForWindow != nullptr && taskbar != nullptr ? dpiForWindow(taskbar) : 0;
    std::printf("taskbar %p dpi %u smicon %d smicon-at-dpi %d\n", static_cast<void*>(taskbar), dpi,
                GetSystemMetrics(SM_CXSMICON),
                metricsForDpi != nullptr && dpi != 0 ? metricsForDpi(SM_CXSMICON, dpi) : 0);
    return 0;
  }
  if (argc >= 6 && std::wcscmp(argv[1], L"draw-entries") == 0) {
    return DrawEntries(argv[2], static_cast<int>(std::wcstol(argv[3], nullptr, 10)), argv[4], argv[5]);
  }
  if (argc >= 4 && std::wcscmp(argv[1], L"record") == 0) {
    FILE* out = _wfopen(argv[2], L"a");
    if (out == nullptr) return 1;
    for (int i = 3; i < argc; ++i) std::fwprintf(out, i + 1 < argc ? L"%ls " : L"%ls\n", argv[i]);
    std::fclose(out);
    return 0;
  }
  if (argc >= 2 && std::wcscmp(argv[1], L"close-window") == 0) {
    HWND form = FindTopLevel(L"CorvellaMainForm");
    if (form == nullptr) {
      std::fprintf(stderr, "no main window\n");
      return 1;
    }
    PostMessageW(form, WM_CLOSE, 0, 0);
    return 0;
  }
  std::fprintf(stderr, "usage: see the head of probe_win32.cpp\n");
  return 2;
}
