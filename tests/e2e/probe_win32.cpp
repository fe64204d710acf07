// Drives a running corvella.exe from outside, as a user would: waits for its window,
// opens the tray menu the way the shell does on a right-button press, and picks an item.
//   corvella-probe wait-title TITLE SECONDS     exit 0 once such a window exists
//   corvella-probe menu-last SECONDS            open the tray menu and choose its last item
//   corvella-probe close-window [CLASS]         close the main window (or CLASS's) directly
//   corvella-probe dialog-shown SECONDS [0]      exit 0 once the settings dialog is shown (hidden)
//   corvella-probe control NAME                 print a dialog control's screen centre, whether it
//                                               is visible and enabled, its check state and text
//                                               (NAME: one of kNamedControls, e.g. port)
//   corvella-probe error-box [dismiss]          exit 0 when the program's error box is open
//                                               (and close it with its OK button)
//   corvella-probe layout                       check that every visible control of the dialog
//                                               has a size, lies inside its parent and shows its
//                                               whole caption, and that the frame fits the client
//                                               area at the window's DPI
//   corvella-probe refresh SECONDS              send the menu command "Получить сведения"; exit 0 once
//                                               it was handled within SECONDS
//   corvella-probe counts                       print what the program holds, one "name value" a line
//   corvella-probe long-run PASSES WARMUP       run PASSES refresh passes through the menu command,
//                                               print the counts at the start, after WARMUP passes
//                                               and at the end; exit 1 when any keeps growing
//   corvella-probe latency COUNT INTERVAL_MS    send COUNT messages INTERVAL_MS apart to the main
//                                               window; print median, 99th percentile and worst
//                                               round trip in milliseconds
//   corvella-probe menu-keys KEYS SECONDS       open the tray menu and press KEYS in it:
//                                               D down, U up, E enter, X escape, . nothing
//   corvella-probe keys KEYS SECONDS            the same in a menu that is open already
//   corvella-probe menu-rect SECONDS            print the open menu's rectangle: left top right bottom
//   corvella-probe taskbar-rect                 print the taskbar's rectangle: left top right bottom
//   corvella-probe double-click                 what the shell sends on a double click on the icon
//   corvella-probe drop-icon                    take the icon out of the notification area, as a
//                                               crashed Explorer loses it
//   corvella-probe taskbar-created              announce a new taskbar to every window
//   corvella-probe power EVENT                  send WM_POWERBROADCAST with EVENT to the main window
//   corvella-probe visible CLASS SECONDS        exit 0 once a visible window of CLASS exists
//   corvella-probe key-select                   what the shell sends on Enter or Space on the icon
//   corvella-probe context-key                  what the shell sends on Shift+F10 or the menu key on it
//   corvella-probe activate CLASS               make the top-level window of CLASS the active one, as
//                                               a press on Windows' taskbar activates the taskbar
//   corvella-probe description CLASS SECONDS    print the accessible description of the client area
//                                               of the visible window of CLASS (UTF-8)
//   corvella-probe balloon SECONDS [hide]       print the text of the balloon on show (UTF-8), and
//                                               hide it; exit 1 when none shows within SECONDS
//   corvella-probe shown-rect SECONDS           once the forecast window is shown, print its rectangle
//                                               and its monitor's work area, then its name (UTF-8)
//   corvella-probe dpi                          print the taskbar's dpi and small-icon size as a
//                                               per-monitor aware program sees them
//   corvella-probe draw-entries EXE SIZE TEXT OUT.bmp [light|dark [COLOUR]]
//                                               the four tray entries as EXE draws them at SIZE
//                                               with TEXT as the temperature, side by side, for a
//                                               light (the default) or dark taskbar, in the colour
//                                               nobody chose or in COLOUR (0xBBGGRR) as stored
//   corvella-probe setting-change [CLASS [AREA]] tell the main window (or CLASS's) that the
//                                               settings of AREA changed, as Windows does (by
//                                               default "ImmersiveColorSet": the theme)
//   corvella-probe record FILE ARG...           append ARG... as one line to FILE (a stand-in browser)
//   corvella-probe foreign-window TITLE SECONDS show an unowned window of Explorer's folder class
//                                               titled TITLE for SECONDS
//   corvella-probe open-latency ROUNDS          open the tray menu and the forecast window in turns;
//                                               print the medians from the shell's message to each
//                                               shown and painted, the window's first opening apart
//   corvella-probe menu-when-due SECONDS        make the wake pass fall due with a right press on the
//                                               icon waiting in the queue; print the milliseconds
//                                               from the press to the open menu
//   corvella-probe launch EXE CLASS SECONDS     start EXE; print the milliseconds until its window of
//                                               CLASS answers a message, and its process id
//   corvella-probe memory PID                   print the working set and private bytes of PID in KiB
//   corvella-probe modules                      print the DLLs loaded in the program, one a line,
//                                               in lower case
//   corvella-probe names                       print the name a screen reader reads (accName) of
//                                               every control on the dialog's shown page that Tab
//                                               reaches, "id name" a line; exit 1 when one has no
//                                               Russian name
//   corvella-probe open-dialog SECONDS          choose "Свойства..." in the tray menu; print the
//                                               milliseconds from the key press to the shown dialog
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <oleacc.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <optional>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1251.h"
#include "common/live_counts.h"
#include "presentation/digit_colour.h"
#include "presentation/tray_art_win32.h"
#include "presentation/tray_digits_win32.h"
#include "shell/live_counts_win32.h"
#include "shell/main_form_win32.h"
#include "shell/settings_dialog_layout.h"
#include "tests/e2e/wait_for_win32.h"

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

// A wake arms the pass 4 s later. The program's thread is held past that, so the timer is
// due when the shell's right press is taken from the queue, and then let go.
int MenuWhenDue(double seconds) {
  HWND form = FindTopLevel(L"CorvellaMainForm");
  HWND tray = TrayWindow(10);
  if (form == nullptr || tray == nullptr) return 1;
  HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(form, nullptr));
  if (thread == nullptr) {
    std::fprintf(stderr, "cannot hold the program's thread: %lu\n", GetLastError());
    return 1;
  }
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(form, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 10000, &answer);
  if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
    std::fprintf(stderr, "cannot hold the program's thread: %lu\n", GetLastError());
    CloseHandle(thread);
    return 1;
  }
  Sleep(5000);
  PostMessageW(tray, kTrayCallback, 1, WM_RBUTTONDOWN);
  LARGE_INTEGER frequency, pressed, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&pressed);
  ResumeThread(thread);
  CloseHandle(thread);
  const auto elapsedMs = [&] {
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - pressed.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
  };
  while (VisibleMenu() == nullptr) {
    if (elapsedMs() > seconds * 1000) {
      std::printf("menu_ms >%.0f\n", seconds * 1000);
      return 1;
    }
    Sleep(1);
  }
  std::printf("menu_ms %.1f\n", elapsedMs());
  return 0;
}

// Entry pictures as a 32-bit bitmap file with alpha, transparent where the mask says so.
int DrawEntries(const wchar_t* exePath, int size, const std::wstring& text, const wchar_t* outPath,
                const corvella::TaskbarLook& look, std::optional<std::uint32_t> stored) {
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
  const corvella::DigitInk ink = corvella::ChooseDigitInk(stored, look);
  list.PaintTrayDigits({temperature + "\xB0", temperature, true, ink.colour, ink.rim}, glyphs);
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

// The dialog's controls that journeys drive, by the names the journeys give them.
struct NamedControl {
  std::wstring_view name;
  int id;
};
constexpr NamedControl kNamedControls[] = {
    {L"version", corvella::kIdVersionLine},
    {L"location", corvella::kIdComboBox1},
    {L"day-after-tomorrow", corvella::kIdCheckBox14},
    {L"dollar", corvella::kIdCheckBox3},
    {L"franc", corvella::kIdCheckBox5},
    {L"host", corvella::kIdEdit3},
    {L"port", corvella::kIdEdit4},
    {L"notice-on-connect", corvella::kIdCheckBox1},
    {L"period", corvella::kIdComboBox2},
};

// Prints "x y visible enabled checked text" (text as UTF-8) of the control called `name`.
int ShowControl(std::wstring_view name) {
  const auto named = std::find_if(std::begin(kNamedControls), std::end(kNamedControls),
                                  [&](const NamedControl& c) { return c.name == name; });
  if (named == std::end(kNamedControls)) {
    std::fprintf(stderr, "no control is called %ls\n", std::wstring(name).c_str());
    return 1;
  }
  HWND form = FindTopLevel(L"CorvellaMainForm");
  HWND control = form ? DialogControl(form, named->id) : nullptr;
  if (control == nullptr) {
    std::fprintf(stderr, "no control %d\n", named->id);
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
  // The client area is the dialog's at the window's DPI, in the frame the system gives at that DPI.
  using DpiForWindowFn = UINT(WINAPI*)(HWND);
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  const auto dpiForWindow =
      reinterpret_cast<DpiForWindowFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")));
  const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(
      reinterpret_cast<void*>(GetProcAddress(user, "AdjustWindowRectExForDpi")));
  if (dpiForWindow == nullptr || adjustForDpi == nullptr) {
    std::fprintf(stderr, "no GetDpiForWindow or AdjustWindowRectExForDpi\n");
    return 1;
  }
  const UINT windowDpi = dpiForWindow(form);
  RECT client{}, frame{}, window{};
  GetClientRect(form, &client);
  GetWindowRect(form, &window);
  frame = client;
  adjustForDpi(&frame, static_cast<DWORD>(GetWindowLongW(form, GWL_STYLE)), FALSE,
               static_cast<DWORD>(GetWindowLongW(form, GWL_EXSTYLE)), windowDpi);
  const int dpiScale = static_cast<int>(windowDpi);
  if (client.right != MulDiv(446, dpiScale, 96) || client.bottom != MulDiv(376, dpiScale, 96) ||
      window.right - window.left != frame.right - frame.left ||
      window.bottom - window.top != frame.bottom - frame.top) {
    std::printf("dialog at %u DPI: client %ldx%ld in a window of %ldx%ld, framed %ldx%ld\n", windowDpi,
                client.right, client.bottom, window.right - window.left, window.bottom - window.top,
                frame.right - frame.left, frame.bottom - frame.top);
    ++faults;
  }
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
        if (own.right <= own.left || own.bottom <= own.top) {
          std::printf("control %d has no size\n", id);
          ++*count;
        }
        // The logo may reach above the client area, as it always has.
        if (id != corvella::kIdLogo && (own.left < area.left || own.top < area.top || own.right > area.right ||
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
          const bool header = id >= corvella::kIdTitle && id <= corvella::kIdSubtitle;
          const int pixels = id == corvella::kIdTitle ? 19 : id == corvella::kIdVersionLine ? 12 : 11;
          HFONT font = CreateFontW(-(pixels * dpi / 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                   header ? L"Tahoma" : L"MS Shell Dlg 2");
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

// IID_IAccessible.
constexpr GUID kAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

using AccessibleText = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);

// The name (or with `text` another of its texts) of the window's client object, as UTF-8.
std::string AccessibleName(HWND window, AccessibleText text = &IAccessible::get_accName) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                        reinterpret_cast<void**>(&object))) ||
      object == nullptr)
    return {};
  VARIANT which{};
  which.vt = VT_I4;
  which.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::string utf8;
  if ((object->*text)(which, &name) == S_OK && name != nullptr) {
    utf8.resize(SysStringLen(name) * 3 + 1);
    utf8.resize(static_cast<std::size_t>(std::max(
        0, WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr) - 1)));
    SysFreeString(name);
  }
  object->Release();
  return utf8;
}

// Prints "id name"; false when the name has no Cyrillic letter (two-byte UTF-8 from D0 or D1).
bool PrintName(int id, const std::string& name) {
  std::printf("%d %s\n", id, name.c_str());
  const bool russian = name.find('\xD0') != std::string::npos || name.find('\xD1') != std::string::npos;
  if (!russian) std::printf("  ^ no Russian name\n");
  return russian;
}

int Names() {
  HWND form = FindTopLevel(L"CorvellaMainForm");
  if (form == nullptr || !IsWindowVisible(form)) {
    std::fprintf(stderr, "the dialog is not shown\n");
    return 1;
  }
  CoInitialize(nullptr);
  int faults = 0;
  EnumChildWindows(
      form,
      [](HWND w, LPARAM lp) -> BOOL {
        if (IsWindowVisible(w) && (GetWindowLongW(w, GWL_STYLE) & WS_TABSTOP) != 0 &&
            !PrintName(GetDlgCtrlID(w), AccessibleName(w)))
          ++*reinterpret_cast<int*>(lp);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&faults));
  return faults == 0 ? 0 : 1;
}

using Counts = std::array<long, static_cast<std::size_t>(corvella::Counted::kCount)>;

bool ReadCounts(HWND form, Counts& out) {
  const UINT message = RegisterWindowMessageW(corvella::kLiveCountMessageName);
  for (std::size_t i = 0; i < out.size(); ++i) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(form, message, i, 0, SMTO_NORMAL, 30000, &answer)) return false;
    out[i] = static_cast<long>(static_cast<LRESULT>(answer));
  }
  return true;
}

void PrintCounts(const char* when, const Counts& counts) {
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const std::string_view name = corvella::kCountedNames[i];
    std::printf("%s %.*s %ld\n", when, static_cast<int>(name.size()), name.data(), counts[i]);
  }
  std::fflush(stdout);
}

HWND WaitForForm(double seconds) {
  HWND form = nullptr;
  WaitFor(seconds, [&] { return (form = FindTopLevel(L"CorvellaMainForm")) != nullptr; });
  if (form == nullptr) std::fprintf(stderr, "no main window\n");
  return form;
}

// Memory may settle (heaps, caches) but not climb: what a pass leaks shows up here.
bool MemoryGrew(long warm, long end) { return end > warm + 512 + warm / 50; }

int LongRun(int passes, int warmup) {
  HWND form = WaitForForm(60);
  if (form == nullptr) return 1;
  Counts start{}, warm{}, end{};
  if (!ReadCounts(form, start)) return 1;
  PrintCounts("start", start);
  warm = start;
  for (int pass = 1; pass <= passes; ++pass) {
    // What the menu item "Получить сведения" sends; the answer comes once the pass is done.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(form, WM_COMMAND, corvella::kCommandRefresh, 0, SMTO_NORMAL, 600000, &answer)) {
      std::fprintf(stderr, "pass %d did not end\n", pass);
      return 1;
    }
    if (pass == warmup && !ReadCounts(form, warm)) return 1;
    if (pass == warmup) PrintCounts("warm", warm);
  }
  if (!ReadCounts(form, end)) return 1;
  PrintCounts("end", end);
  bool growing = false;
  for (std::size_t i = 0; i < end.size(); ++i) {
    const auto kind = static_cast<corvella::Counted>(i);
    const bool memory = kind == corvella::Counted::WorkingSetKib || kind == corvella::Counted::PrivateKib;
    if (memory ? MemoryGrew(warm[i], end[i]) : end[i] > warm[i]) {
      const std::string_view name = corvella::kCountedNames[i];
      std::printf("growing: %.*s %ld -> %ld\n", static_cast<int>(name.size()), name.data(), warm[i], end[i]);
      growing = true;
    }
  }
  return growing ? 1 : 0;
}

int Latency(int count, int intervalMs) {
  HWND form = WaitForForm(60);
  if (form == nullptr) return 1;
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> trips;
  for (int i = 0; i < count; ++i) {
    QueryPerformanceCounter(&before);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer)) {
      std::fprintf(stderr, "message %d was not answered\n", i);
      return 1;
    }
    QueryPerformanceCounter(&after);
    trips.push_back(static_cast<double>(after.QuadPart - before.QuadPart) * 1000.0 /
                    static_cast<double>(frequency.QuadPart));
    Sleep(static_cast<DWORD>(intervalMs));
  }
  std::sort(trips.begin(), trips.end());
  const auto at = [&](double q) { return trips[static_cast<std::size_t>(q * static_cast<double>(trips.size() - 1))]; };
  std::printf("messages %d median_ms %.2f p99_ms %.2f worst_ms %.2f\n", count, at(0.5), at(0.99), trips.back());
  return 0;
}


double MillisecondsSince(const LARGE_INTEGER& before) {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - before.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

HWND WindowOfProcess(const wchar_t* className, DWORD pid) {
  for (HWND w = FindWindowExW(nullptr, nullptr, className, nullptr); w != nullptr;
       w = FindWindowExW(nullptr, w, className, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// Start-up as a user meets it: from the start of the process until its window of `className`
// answers, that is until the program has created what it shows at start and waits for input.
int Launch(const wchar_t* exe, const wchar_t* className, double seconds) {
  std::wstring command = L"\"" + std::wstring(exe) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  LARGE_INTEGER before;
  QueryPerformanceCounter(&before);
  if (!CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "could not start the program (error %lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  HWND window = nullptr;
  const double limitMs = seconds * 1000;
  while ((window = WindowOfProcess(className, process.dwProcessId)) == nullptr && MillisecondsSince(before) < limitMs)
    Sleep(1);
  DWORD_PTR answer = 0;
  if (window == nullptr || !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL,
                                                static_cast<UINT>(limitMs), &answer)) {
    std::fprintf(stderr, "the program's window did not answer\n");
    return 1;
  }
  std::printf("startup_ms %.1f pid %lu\n", MillisecondsSince(before), process.dwProcessId);
  return 0;
}

int Memory(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  const bool read = process != nullptr &&
                    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                         sizeof counters);
  if (process != nullptr) CloseHandle(process);
  if (!read) {
    std::fprintf(stderr, "no memory counters of process %lu (error %lu)\n", pid, GetLastError());
    return 1;
  }
  std::printf("working_set_kib %zu private_kib %zu\n", counters.WorkingSetSize / 1024, counters.PrivateUsage / 1024);
  return 0;
}

int Modules() {
  HWND form = FindTopLevel(L"CorvellaMainForm");
  DWORD pid = 0;
  if (form != nullptr) GetWindowThreadProcessId(form, &pid);
  HANDLE process = pid != 0 ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
  std::vector<HMODULE> modules(512);
  DWORD needed = 0;
  const bool listed = process != nullptr &&
                      EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                                         &needed);
  if (listed) {
    modules.resize(std::min<std::size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
      wchar_t name[MAX_PATH] = {};
      if (GetModuleBaseNameW(process, module, name, MAX_PATH) == 0) continue;
      for (wchar_t* c = name; *c != 0; ++c) *c = static_cast<wchar_t>(std::towlower(*c));
      std::printf("%ls\n", name);
    }
  }
  if (process != nullptr) CloseHandle(process);
  if (!listed) std::fprintf(stderr, "no modules of the program (error %lu)\n", GetLastError());
  return listed ? 0 : 1;
}

// From the Enter on "Свойства..." to the dialog shown and done with its showing.
int OpenDialog(double seconds) {
  HWND form = WaitForForm(seconds);
  HWND menu = form ? OpenMenu(seconds, true) : nullptr;
  if (menu == nullptr) return 1;
  Sleep(300);
  Key(menu, VK_DOWN);  // the first item, "Свойства..."
  LARGE_INTEGER before;
  QueryPerformanceCounter(&before);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageW(menu, WM_KEYUP, VK_RETURN, 0);
  while (!IsWindowVisible(form) && MillisecondsSince(before) < seconds * 1000) Sleep(1);
  DWORD_PTR answer = 0;
  if (!IsWindowVisible(form) || !SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer)) {
    std::fprintf(stderr, "the dialog was not shown\n");
    return 1;
  }
  std::printf("dialog_ms %.1f\n", MillisecondsSince(before));
  return 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Opens the tray menu (a right press) and the forecast window (Enter on the icon) in turns,
// each from the shell's message to its window shown and painted (the program has answered
// the next message), and closes each with Escape.
// WaitFor looks every 100 ms: too coarse to time an opening.
template <class Check>
bool WaitClosely(Check check) {
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  while (!check()) {
    if (MillisecondsSince(start) > 10000) return false;
    Sleep(1);
  }
  return true;
}

int OpenLatency(int rounds) {
  HWND tray = TrayWindow(10);
  if (tray == nullptr) return 1;
  std::vector<double> menus, windows;
  double first = 0;
  DWORD_PTR answer = 0;
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    PostMessageW(tray, kTrayCallback, 1, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    if (!WaitClosely([&] { return (menu = VisibleMenu()) != nullptr; })) return 1;
    SendMessageTimeoutW(menu, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    menus.push_back(MillisecondsSince(before));
    Key(menu, VK_ESCAPE);
    if (!WaitClosely([] { return VisibleMenu() == nullptr; })) return 1;
    Sleep(400);

    QueryPerformanceCounter(&before);
    PostMessageW(tray, kTrayCallback, 1, NIN_KEYSELECT);
    HWND flyout = nullptr;
    if (!WaitClosely([&] {
          flyout = FindWindowW(L"CorvellaForecast", nullptr);
          return flyout != nullptr && IsWindowVisible(flyout);
        }))
      return 1;
    SendMessageTimeoutW(flyout, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    (round == 0 ? first : windows.emplace_back()) = MillisecondsSince(before);
    PostMessageW(flyout, WM_KEYDOWN, VK_ESCAPE, 0);
    if (!WaitClosely([&] { return !IsWindowVisible(flyout); })) return 1;
    Sleep(400);
  }
  const double menu = Median(menus), window = Median(windows);
  std::printf("menu_ms %.1f forecast_first_ms %.1f forecast_ms %.1f forecast/menu %.2f\n", menu, first, window,
              menu > 0 ? window / menu : 0.0);
  return 0;
}

// The probe's commands: a name, how many words the command line needs at least (the probe's own
// name and the command's included), and what it does with them.
struct Command {
  std::wstring_view name;
  int minArgc;
  int (*run)(int argc, wchar_t** argv);
};

const Command kCommands[] = {
    {L"wait-title", 4,
     [](int, wchar_t** argv) -> int {
       std::wstring title = argv[2];
       return WaitFor(std::wcstod(argv[3], nullptr), [&] { return TopLevelWithTitle(title); }) ? 0 : 1;
     }},
    {L"menu-last", 3, [](int, wchar_t** argv) -> int { return MenuLast(std::wcstod(argv[2], nullptr)); }},
    {L"menu-keys", 4,
     [](int, wchar_t** argv) -> int {
       return MenuKeys(argv[2], std::wcstod(argv[3], nullptr), true);
     }},
    {L"keys", 4,
     [](int, wchar_t** argv) -> int { return MenuKeys(argv[2], std::wcstod(argv[3], nullptr), false); }},
    {L"menu-rect", 3, [](int, wchar_t** argv) -> int { return MenuRect(std::wcstod(argv[2], nullptr)); }},
    {L"taskbar-rect", 2,
     [](int, wchar_t**) -> int {
       HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
       RECT r{};
       if (taskbar == nullptr || !GetWindowRect(taskbar, &r)) {
         std::fprintf(stderr, "no taskbar\n");
         return 1;
       }
       std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
       return 0;
     }},
    {L"double-click", 2,
     [](int, wchar_t**) -> int {
       HWND tray = TrayWindow(10);
       if (tray == nullptr) return 1;
       PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONDOWN);
       PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONUP);
       PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONDBLCLK);
       PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONUP);
       return 0;
     }},
    {L"drop-icon", 2,
     [](int, wchar_t**) -> int {
       HWND tray = TrayWindow(10);
       if (tray == nullptr) return 1;
       NOTIFYICONDATAW data{};
       data.cbSize = sizeof data;
       data.hWnd = tray;
       data.uID = 1;
       return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
     }},
    {L"taskbar-created", 2,
     [](int, wchar_t**) -> int {
       const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
       return PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
     }},
    {L"power", 3,
     [](int, wchar_t** argv) -> int {
       HWND form = FindTopLevel(L"CorvellaMainForm");
       if (form == nullptr) return 1;
       PostMessageW(form, WM_POWERBROADCAST, static_cast<WPARAM>(std::wcstol(argv[2], nullptr, 0)), 0);
       return 0;
     }},
    {L"key-select", 2,
     [](int, wchar_t**) -> int {
       HWND tray = TrayWindow(10);
       if (tray == nullptr) return 1;
       PostMessageW(tray, kTrayCallback, 1, NIN_KEYSELECT);
       return 0;
     }},
    {L"context-key", 2,
     [](int, wchar_t**) -> int {
       HWND tray = TrayWindow(10);
       return tray != nullptr && PostMessageW(tray, kTrayCallback, 1, WM_CONTEXTMENU) ? 0 : 1;
     }},
    {L"activate", 3,
     [](int, wchar_t** argv) -> int {
       HWND w = FindTopLevel(argv[2]);
       return w != nullptr && SetForegroundWindow(w) ? 0 : 1;
     }},
    {L"description", 4,
     [](int, wchar_t** argv) -> int {
       HWND w = nullptr;
       const std::wstring className = argv[2];
       if (!WaitFor(std::wcstod(argv[3], nullptr), [&] { return (w = FindTopLevel(className.c_str())) && IsWindowVisible(w); }))
         return 1;
       CoInitialize(nullptr);
       const std::string text = AccessibleName(w, &IAccessible::get_accDescription);
       std::printf("%s\n", text.c_str());
       return text.empty() ? 1 : 0;
     }},
    {L"balloon", 3,
     [](int argc, wchar_t** argv) -> int {
       // Wine's balloon is a tooltip of its own in the taskbar's process; its text is the tip's.
       HWND balloon = nullptr;
       if (!WaitFor(std::wcstod(argv[2], nullptr), [&] {
             for (balloon = FindWindowExW(nullptr, nullptr, L"tooltips_class32", nullptr); balloon != nullptr;
                  balloon = FindWindowExW(nullptr, balloon, L"tooltips_class32", nullptr))
               if (IsWindowVisible(balloon) && (GetWindowLongW(balloon, GWL_STYLE) & TTS_BALLOON) != 0) return true;
             return false;
           }))
         return 1;
       wchar_t text[1024] = {};
       DWORD_PTR copied = 0;
       SendMessageTimeoutW(balloon, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &copied);
       char utf8[4096] = {};
       WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
       std::printf("%s\n", utf8);
       if (argc >= 4 && std::wcscmp(argv[3], L"hide") == 0) ShowWindow(balloon, SW_HIDE);
       return 0;
     }},
    {L"shown-rect", 3,
     [](int, wchar_t** argv) -> int {
       // The forecast window once shown, and the work area of its monitor, as the program sees
       // them (per-monitor aware): "left top right bottom work-left work-top work-right work-bottom".
       using SetContextFn = BOOL(WINAPI*)(HANDLE);
       if (auto set = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
               GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext"))))
         set(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
       HWND w = nullptr;
       if (!WaitFor(std::wcstod(argv[2], nullptr), [&] {
             w = FindWindowW(L"CorvellaForecast", nullptr);
             return w != nullptr && IsWindowVisible(w);
           }))
         return 1;
       RECT r{};
       GetWindowRect(w, &r);
       MONITORINFO m{};
       m.cbSize = sizeof m;
       GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &m);
       std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom, m.rcWork.left,
                   m.rcWork.top, m.rcWork.right, m.rcWork.bottom);
       wchar_t title[512] = {};
       GetWindowTextW(w, title, 512);
       char utf8[2048] = {};
       WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof utf8, nullptr, nullptr);
       std::printf("%s\n", utf8);
       return 0;
     }},
    {L"visible", 4,
     [](int, wchar_t** argv) -> int {
       const std::wstring className = argv[2];
       return WaitFor(std::wcstod(argv[3], nullptr),
                      [&] {
                        HWND w = FindTopLevel(className.c_str());
                        return w != nullptr && IsWindowVisible(w);
                      })
                  ? 0
                  : 1;
     }},
    {L"dpi", 2,
     [](int, wchar_t**) -> int {
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
     }},
    {L"open-latency", 3,
     [](int, wchar_t** argv) -> int {
       return OpenLatency(std::max(2, static_cast<int>(std::wcstol(argv[2], nullptr, 10))));
     }},
    {L"menu-when-due", 3,
     [](int, wchar_t** argv) -> int {
       return MenuWhenDue(std::wcstod(argv[2], nullptr));
     }},
    {L"draw-entries", 6,
     [](int argc, wchar_t** argv) -> int {
       corvella::TaskbarLook look;
       look.light = argc < 7 || std::wcscmp(argv[6], L"dark") != 0;
       std::optional<std::uint32_t> stored;
       if (argc >= 8) stored = static_cast<std::uint32_t>(std::wcstoul(argv[7], nullptr, 0));
       return DrawEntries(argv[2], static_cast<int>(std::wcstol(argv[3], nullptr, 10)), argv[4], argv[5],
                          look, stored);
     }},
    {L"setting-change", 2,
     [](int argc, wchar_t** argv) -> int {
       HWND form = FindTopLevel(argc >= 3 ? argv[2] : L"CorvellaMainForm");
       const wchar_t* area = argc >= 4 ? argv[3] : L"ImmersiveColorSet";
       DWORD_PTR result = 0;
       return form != nullptr && SendMessageTimeoutW(form, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(area),
                                                     SMTO_ABORTIFHUNG, 5000, &result) != 0
                  ? 0
                  : 1;
     }},
    {L"foreign-window", 4,
     [](int, wchar_t** argv) -> int {
       WNDCLASSW wc{};
       wc.lpfnWndProc = DefWindowProcW;
       wc.hInstance = GetModuleHandleW(nullptr);
       wc.lpszClassName = L"CabinetWClass";
       RegisterClassW(&wc);
       HWND folder = CreateWindowExW(0, wc.lpszClassName, argv[2], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                     300, 200, nullptr, nullptr, wc.hInstance, nullptr);
       if (folder == nullptr) return 1;
       const DWORD end = GetTickCount() + static_cast<DWORD>(std::wcstod(argv[3], nullptr) * 1000);
       for (MSG msg; static_cast<LONG>(end - GetTickCount()) > 0;) {
         MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
         while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
       }
       return 0;
     }},
    {L"record", 4,
     [](int argc, wchar_t** argv) -> int {
       FILE* out = _wfopen(argv[2], L"a");
       if (out == nullptr) return 1;
       for (int i = 3; i < argc; ++i) std::fwprintf(out, i + 1 < argc ? L"%ls " : L"%ls\n", argv[i]);
       std::fclose(out);
       return 0;
     }},
    {L"close-window", 2,
     [](int argc, wchar_t** argv) -> int {
       HWND form = FindTopLevel(argc >= 3 ? argv[2] : L"CorvellaMainForm");
       if (form == nullptr) {
         std::fprintf(stderr, "no main window\n");
         return 1;
       }
       PostMessageW(form, WM_CLOSE, 0, 0);
       return 0;
     }},
    {L"dialog-shown", 3,
     [](int argc, wchar_t** argv) -> int {
       const bool wanted = argc < 4 || std::wcscmp(argv[3], L"0") != 0;
       return WaitFor(std::wcstod(argv[2], nullptr),
                      [&] {
                        HWND form = FindTopLevel(L"CorvellaMainForm");
                        return form != nullptr && (IsWindowVisible(form) != FALSE) == wanted;
                      })
                  ? 0
                  : 1;
     }},
    {L"control", 3,
     [](int, wchar_t** argv) -> int {
       return ShowControl(argv[2]);
     }},
    {L"layout", 2, [](int, wchar_t**) -> int { return CheckLayout(); }},
    {L"names", 2, [](int, wchar_t**) -> int { return Names(); }},
    {L"error-box", 2,
     [](int argc, wchar_t** argv) -> int {
       HWND box = FindWindowW(L"#32770", L"Corvella");
       if (box == nullptr || !IsWindowVisible(box)) return 1;
       if (argc >= 3 && std::wcscmp(argv[2], L"dismiss") == 0) PostMessageW(box, WM_COMMAND, IDOK, 0);
       return 0;
     }},
    {L"counts", 2,
     [](int, wchar_t**) -> int {
       HWND form = WaitForForm(10);
       Counts counts{};
       if (form == nullptr || !ReadCounts(form, counts)) return 1;
       PrintCounts("now", counts);
       return 0;
     }},
    {L"refresh", 3,
     [](int, wchar_t** argv) -> int {
       HWND form = WaitForForm(10);
       DWORD_PTR answer = 0;
       const UINT limitMs = static_cast<UINT>(std::wcstod(argv[2], nullptr) * 1000);
       if (form == nullptr || !SendMessageTimeoutW(form, WM_COMMAND, corvella::kCommandRefresh, 0,
                                                   SMTO_NORMAL, limitMs, &answer)) {
         std::fprintf(stderr, "the menu command was not handled in time\n");
         return 1;
       }
       return 0;
     }},
    {L"long-run", 4,
     [](int, wchar_t** argv) -> int {
       return LongRun(std::max(1, _wtoi(argv[2])), std::max(1, _wtoi(argv[3])));
     }},
    {L"launch", 5,
     [](int, wchar_t** argv) -> int { return Launch(argv[2], argv[3], std::wcstod(argv[4], nullptr)); }},
    {L"memory", 3,
     [](int, wchar_t** argv) -> int {
       return Memory(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
     }},
    {L"modules", 2, [](int, wchar_t**) -> int { return Modules(); }},
    {L"open-dialog", 3, [](int, wchar_t** argv) -> int { return OpenDialog(std::wcstod(argv[2], nullptr)); }},
    {L"latency", 4,
     [](int, wchar_t** argv) -> int {
       return Latency(std::max(1, _wtoi(argv[2])), std::max(0, _wtoi(argv[3])));
     }},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2) {
    for (const Command& command : kCommands) {
      if (argv[1] == command.name && argc >= command.minArgc) return command.run(argc, argv);
    }
  }
  std::fprintf(stderr, "usage: see the head of probe_win32.cpp\n");
  return 2;
}
