#include "shell/settings_dialog_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/monitor_dpi_win32.h"
#include "common/system_function_win32.h"
#include "common/text_literal.h"
#include "presentation/taskbar_look_win32.h"
#include "presentation/tray_art_win32.h"
#include "shell/error_box_win32.h"
#include "shell/location_catalogue.h"

namespace corvella {
namespace {

constexpr wchar_t kPageClass[] = L"CorvellaDialogPage";
constexpr wchar_t kSampleClass[] = L"CorvellaColourSample";
constexpr int kHintMaxWidth = 250;  // at 96 dpi
constexpr UINT_PTR kPortFieldSubclass = 1;
// What a screen reader calls the controls that have no caption of their own to be named by (the
// others take their caption, or the label just before them).
constexpr std::string_view kColourSampleName = "Цвет цифр температуры"_cp;
constexpr std::string_view kTabsName = "Разделы настроек"_cp;

// The logo drawn for 96, 144 and 192 DPI; other scales take the next larger one.
struct LogoResource {
  int width;
  const wchar_t* name;
};
constexpr LogoResource kLogos[] = {{98, L"LOGO96"}, {147, L"LOGO144"}, {196, L"LOGO192"}};

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpi =
      SystemFunction<GetDpiForWindowFn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (getDpi != nullptr) {
    if (UINT dpi = getDpi(window); dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The dialog opens on the primary monitor, at that monitor's scale (Windows 8.1+; before it,
// every monitor has the system's).
HMONITOR DialogMonitor() { return MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY); }

// What the window system refused ("create", "place"), for the control of id `id`, with the
// system's error code.
[[noreturn]] void ThrowWindowFailure(const char* action, int id, DWORD code) {
  throw Error(std::string("Failed to ") + action + " window " + std::to_string(id) +
              " of the settings dialog (system error " + std::to_string(code) + ")");
}

[[noreturn]] void ThrowPlacementFailure(HWND window) {
  const DWORD code = GetLastError();
  ThrowWindowFailure("place", GetDlgCtrlID(window), code);
}

// The window with its frame around a client area of `client` at the window's own DPI (the
// system's DPI, which AdjustWindowRectEx uses, may be another monitor's).
RECT FrameAround(HWND window, RECT client, UINT dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi =
      SystemFunction<AdjustForDpiFn>(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  const BOOL framed = adjustForDpi != nullptr ? adjustForDpi(&client, style, FALSE, exStyle, dpi)
                                              : AdjustWindowRectEx(&client, style, FALSE, exStyle);
  if (!framed) ThrowPlacementFailure(window);
  return client;
}

// Pages take the tab body's look of the visual style (where there is one) for themselves and
// for the labels and check boxes on them. Cosmetic: without it they stay grey, so a failure
// is not reported. uxtheme.dll is loaded here, not at start-up.
void ThemePageBackground(HWND page) {
  using EnableTextureFn = HRESULT(WINAPI*)(HWND, DWORD);
  static const auto enableTexture = [] {
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    if (uxtheme == nullptr) uxtheme = LoadSystemLibrary(L"uxtheme.dll");
    return SystemFunction<EnableTextureFn>(uxtheme, "EnableThemeDialogTexture");
  }();
  constexpr DWORD kEnableTabTexture = 0x00000006;  // ETDT_ENABLETAB
  if (enableTexture != nullptr) enableTexture(page, kEnableTabTexture);
}

// Under per-monitor scaling (Windows 10 1703+) Windows re-fonts and re-lays out a dialog-class
// window and its controls by itself on a change of DPI. The dialog does both itself (Layout), so
// for the pages (dialog-class windows) and every control the system's part is turned off; where
// the functions are missing, so is that behaviour. The host is a plain window, which the system
// never re-lays out.
void KeepDpiChangeOurs(HWND window, bool dialogClass) {
  using DialogFn = BOOL(WINAPI*)(HWND, int, int);
  using ControlFn = BOOL(WINAPI*)(HWND, int, int);
  static const auto forDialog =
      SystemFunction<DialogFn>(GetModuleHandleW(L"user32.dll"), "SetDialogDpiChangeBehavior");
  static const auto forControl =
      SystemFunction<ControlFn>(GetModuleHandleW(L"user32.dll"), "SetDialogControlDpiChangeBehavior");
  constexpr int kDisableAll = 1;                      // DDC_DISABLE_ALL
  constexpr int kDisableFontAndRelayout = 0x1 | 0x2;  // DCDC_DISABLE_FONTUPDATE | DCDC_DISABLE_RELAYOUT
  // A refusal leaves the system's behaviour, which the dialog's own layout then follows: no
  // failure to report.
  if (dialogClass && forDialog != nullptr) forDialog(window, kDisableAll, kDisableAll);
  if (forControl != nullptr) forControl(window, kDisableFontAndRelayout, kDisableFontAndRelayout);
}

// A page is a dialog to the window system (its default handling is the dialog's), so that the
// visual style paints its background and answers its labels' and check boxes' colours.
const WindowClassSpec kPageWindowClass{.name = kPageClass,
                                       .cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)),
                                       .background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                       .extraBytes = DLGWINDOWEXTRA};
const WindowClassSpec kSampleWindowClass{.name = kSampleClass,
                                         .cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))};

struct WindowKind {
  const wchar_t* className;
  DWORD style;
};

WindowKind KindOf(ControlKind kind) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::kLabel:
      return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX};
    case ControlKind::kRightLabel:  // drawn on one line, ending at the right edge
      return {L"STATIC", kChild | SS_OWNERDRAW};
    case ControlKind::kGroupBox:
      return {L"BUTTON", kChild | BS_GROUPBOX};
    case ControlKind::kCheckBox:
      return {L"BUTTON", kChild | WS_TABSTOP | BS_AUTOCHECKBOX};
    case ControlKind::kDropList:
      return {L"COMBOBOX", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST};
    case ControlKind::kEdit:
      return {L"EDIT", kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL};
    case ControlKind::kPassword:
      return {L"EDIT", kChild | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | ES_PASSWORD};
    case ControlKind::kButton:
      return {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON};
    case ControlKind::kDefaultButton:
      return {L"BUTTON", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON};
    case ControlKind::kLogo:
      return {L"STATIC", kChild | SS_OWNERDRAW | SS_NOTIFY};
    case ControlKind::kColourSample:  // a button to the keyboard: Tab, then Space or Enter
      return {kSampleClass, kChild | WS_TABSTOP};
    case ControlKind::kTabs:
      return {WC_TABCONTROLW, kChild | WS_TABSTOP | WS_CLIPSIBLINGS};
  }
  return {L"STATIC", kChild};
}

bool IsHeaderText(int id) { return id == kIdTitle || id == kIdVersionLine || id == kIdSubtitle; }

// The colour chooser's library brings a chain of others with it (the print spooler's among
// them): it is loaded when the chooser is first asked for, and stays.
using ChooseColorFn = BOOL(WINAPI*)(CHOOSECOLORW*);
ChooseColorFn ColourChooser() {
  static ChooseColorFn choose = nullptr;
  if (choose != nullptr) return choose;
  HMODULE library = LoadSystemLibrary(L"comdlg32.dll");
  if (library == nullptr) throw Error(SystemErrorText(GetLastError()));
  choose = SystemFunction<ChooseColorFn>(library, "ChooseColorW");
  if (choose == nullptr) throw Error(SystemErrorText(GetLastError()));
  return choose;
}

// The common controls library (the tab control, the hints, the port field's subclass) with its
// visual style data is only needed by a dialog that is shown: it is loaded then, and stays. The
// manifest's dependency makes this version 6.
struct CommonControls {
  BOOL(WINAPI* initialize)(const INITCOMMONCONTROLSEX*);
  BOOL(WINAPI* setSubclass)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
  BOOL(WINAPI* removeSubclass)(HWND, SUBCLASSPROC, UINT_PTR);
  LRESULT(WINAPI* defSubclassProc)(HWND, UINT, WPARAM, LPARAM);
};
CommonControls g_common{};

void LoadCommonControls() {
  if (g_common.defSubclassProc != nullptr) return;
  HMODULE library = LoadSystemLibrary(L"comctl32.dll");
  if (library == nullptr) throw Error(SystemErrorText(GetLastError()));
  CommonControls loaded{
      SystemFunction<decltype(loaded.initialize)>(library, "InitCommonControlsEx"),
      SystemFunction<decltype(loaded.setSubclass)>(library, "SetWindowSubclass"),
      SystemFunction<decltype(loaded.removeSubclass)>(library, "RemoveWindowSubclass"),
      SystemFunction<decltype(loaded.defSubclassProc)>(library, "DefSubclassProc"),
  };
  if (!loaded.initialize || !loaded.setSubclass || !loaded.removeSubclass || !loaded.defSubclassProc)
    throw Error(SystemErrorText(GetLastError()));
  const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  if (!loaded.initialize(&classes)) throw Error("Failed to register the common controls");
  g_common = loaded;
}

// A window the dialog cannot do without.
HWND Made(HWND window, int id) {
  if (window == nullptr) ThrowWindowFailure("create", id, GetLastError());
  return window;
}

}  // namespace

SettingsDialog::SettingsDialog(HINSTANCE instance, HWND host, HWND applicationWindow, AppSettings& live)
    : instance_(instance), host_(host), applicationWindow_(applicationWindow), live_(live) {
  values_.SetRows(kIdComboBox2,
                  [](int index) { return index < static_cast<int>(std::size(kPeriodEntries)); });
  filling_ = true;
  ResetControls(*this);
  filling_ = false;
  ReadControls(*this, live_);
}

SettingsDialog::~SettingsDialog() { DestroyControls(); }

// The windows, with what the values held until now; the list's 25,311 rows go in before the
// selection does. A window that can't be made undoes the rest, so that the next try starts clean.
void SettingsDialog::Build() {
  LoadCommonControls();
  // A class that cannot be registered shows as the first page that cannot be created.
  RegisterWindowClass(instance_, kPageWindowClass, &SettingsDialog::PageProc);
  try {
    CreateControls();
    FillLocationList();
  } catch (...) {
    DestroyControls();
    throw;
  }
  built_ = true;
  filling_ = true;
  values_.CopyTo(windows_);
  bound_ = &windows_;
  filling_ = false;
  values_ = ControlValues{};
  SelectPage(0);
}

void SettingsDialog::DestroyControls() {
  if (HWND port = Control(kIdEdit4); port != nullptr && g_common.removeSubclass != nullptr)
    g_common.removeSubclass(port, &SettingsDialog::PortFieldProc, kPortFieldSubclass);
  sample_.Destroy();
  for (HWND& page : pages_) {
    if (page == nullptr) continue;
    DestroyWindow(page);  // and the controls on it
    page = nullptr;
  }
  for (const auto& [id, control] : controls_) {
    if (IsWindow(control)) DestroyWindow(control);
  }
  controls_.clear();
  lastFocus_ = nullptr;
  tooltip_.reset();
}

void SettingsDialog::CreateControls() {
  tooltip_.reset(Made(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, host_, nullptr, instance_, nullptr),
                      0));
  // A longer hint (the colour sample's) wraps rather than running off a small screen.
  SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, Scale(kHintMaxWidth));
  for (int i = 0; i < kPageCount; ++i) {
    pages_[static_cast<std::size_t>(i)] = Made(CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, L"", WS_CHILD,
                                                               0, 0, 0, 0, host_, nullptr, instance_, this),
                                               0);
    KeepDpiChangeOurs(pages_[static_cast<std::size_t>(i)], true);
  }
  for (const ControlSpec& row : DialogControlTable()) {
    const WindowKind kind = KindOf(row.kind);
    HWND parent = row.page == Page::kDialog ? host_ : pages_[static_cast<std::size_t>(row.page)];
    const std::wstring caption = ToWide(row.caption);
    const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id));
    // The colour sample is ours: its messages come to this object.
    HWND control =
        row.kind == ControlKind::kColourSample
            ? Made(sample_.Create(this, instance_, kSampleWindowClass,
                                  {.title = caption.c_str(), .style = kind.style, .parent = parent, .menu = menu})
                       ? sample_.get()
                       : nullptr,
                   row.id)
            : Made(CreateWindowExW(0, kind.className, caption.c_str(), kind.style, 0, 0, 0, 0, parent, menu,
                                   instance_, nullptr),
                   row.id);
    controls_[row.id] = control;
    KeepDpiChangeOurs(control, false);
    if (!row.hint.empty()) AddHint(control, row.hint);
    // The themed edit control hides a password behind dots, the classic one behind "*".
    if (row.kind == ControlKind::kPassword) SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
  }
  SetWindowTextW(Control(kIdColourSample), ToWide(kColourSampleName).c_str());
  SetWindowTextW(Control(kIdTabs), ToWide(kTabsName).c_str());
  AddHint(Control(kIdLogo), MakerSiteAddress());
  HWND tabs = Control(kIdTabs);
  for (int i = 0; i < kPageCount; ++i) {
    std::wstring caption = ToWide(kTabCaptions[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  HWND periods = Control(kIdComboBox2);
  for (std::string_view entry : kPeriodEntries) {
    SendMessageW(periods, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(entry).c_str()));
  }
  HWND port = Control(kIdEdit4);
  SendMessageW(port, EM_LIMITTEXT, kPortMaxLength, 0);
  g_common.setSubclass(port, &SettingsDialog::PortFieldProc, kPortFieldSubclass, 0);
}

void SettingsDialog::AddHint(HWND control, std::string_view text) {
  std::wstring wide = ToWide(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = host_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = wide.data();
  SendMessageW(tooltip_.get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void SettingsDialog::MakeFonts() {
  // Rounded down: a font rounded up would be wider than the scaled places made for its text.
  auto font = [&](int pixels, const wchar_t* face) {
    return UniqueGdiObject(CreateFontW(-static_cast<int>(static_cast<UINT>(pixels) * dpi_ / 96), 0, 0, 0,
                                       FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                       face));
  };
  // 8 points of the dialog face that has every script (Tahoma): the old bitmap face has only the
  // system code page's letters, so it would show no Cyrillic where that is not Windows-1251.
  // Its cells are as tall as the bitmap face's, so the layout is the same.
  fonts_[static_cast<std::size_t>(FontRole::kDialog)] = font(11, L"MS Shell Dlg 2");
  fonts_[static_cast<std::size_t>(FontRole::kTitle)] = font(19, L"Tahoma");
  fonts_[static_cast<std::size_t>(FontRole::kVersion)] = font(12, L"Tahoma");
  fonts_[static_cast<std::size_t>(FontRole::kSubtitle)] = font(11, L"Tahoma");
  sampleFont_ = font(9, L"Arial");
  // The sample shows the weather picture of the tray, drawn for the sample's size at this scale.
  if (std::optional<TrayArt> art = LoadTrayArtNearest(instance_, Scale(kTrayIconSize)))
    samplePicture_ = MakeIcon(EntryFromArt(art->weather));
  const int logoWidth = Scale(98);
  const LogoResource* pick = &kLogos[std::size(kLogos) - 1];
  for (const LogoResource& logo : kLogos) {
    if (logo.width >= logoWidth) {
      pick = &logo;
      break;
    }
  }
  logo_.reset(LoadImageW(instance_, pick->name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

// New fonts and pictures for dpi_, then the layout with them: the old fonts are deleted only
// once no control uses them any more.
void SettingsDialog::Rescale() {
  const auto oldFonts = std::move(fonts_);
  const UniqueGdiObject oldSampleFont = std::move(sampleFont_);
  MakeFonts();
  Layout();
}

void SettingsDialog::Layout() {
  for (const ControlSpec& row : DialogControlTable()) {
    SendMessageW(Control(row.id), WM_SETFONT,
                 reinterpret_cast<WPARAM>(fonts_[static_cast<std::size_t>(row.font)].get()), FALSE);
  }
  // The pages cover the tab control's display area, which depends on its font.
  HWND tabs = Control(kIdTabs);
  const Rect96 t = FindControl(kIdTabs)->rect;
  if (!SetWindowPos(tabs, nullptr, Scale(t.x), Scale(t.y), Scale(t.w), Scale(t.h),
                    SWP_NOZORDER | SWP_NOACTIVATE))
    ThrowPlacementFailure(tabs);
  RECT display{0, 0, Scale(t.w), Scale(t.h)};
  SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  std::vector<ChildPlacement> placements;
  auto place = [&](HWND window, int x, int y, int w, int h) {
    placements.push_back({reinterpret_cast<std::uintptr_t>(window),
                          reinterpret_cast<std::uintptr_t>(GetParent(window)), x, y, w, h});
  };
  for (HWND page : pages_) {
    place(page, Scale(t.x) + display.left, Scale(t.y) + display.top, display.right - display.left,
          display.bottom - display.top);
  }
  for (const ControlSpec& row : DialogControlTable()) {
    if (row.kind == ControlKind::kTabs) continue;
    const Rect96 r = PlacedRect(row);
    // A drop-down list's height is that of its open list.
    const int h = row.kind == ControlKind::kDropList ? r.h + kDropListHeight : r.h;
    const int w = row.kind == ControlKind::kRightLabel ? r.w + kOverhang : r.w;
    place(Control(row.id), Scale(r.x), Scale(r.y), Scale(w), Scale(h));
  }
  for (const std::vector<ChildPlacement>& batch : BatchesByParent(placements)) {
    HDWP moves = BeginDeferWindowPos(static_cast<int>(batch.size()));
    if (moves == nullptr) ThrowPlacementFailure(reinterpret_cast<HWND>(batch.front().window));
    for (const ChildPlacement& p : batch) {
      // A refused move has already freed the batch: it is not ended.
      moves = DeferWindowPos(moves, reinterpret_cast<HWND>(p.window), nullptr, p.x, p.y, p.w, p.h,
                             SWP_NOZORDER | SWP_NOACTIVATE);
      if (moves == nullptr) ThrowPlacementFailure(reinterpret_cast<HWND>(p.window));
    }
    if (!EndDeferWindowPos(moves)) ThrowPlacementFailure(reinterpret_cast<HWND>(batch.front().window));
  }
  InvalidateRect(host_, nullptr, TRUE);
}

void SettingsDialog::CentreWindow(HMONITOR monitor) {
  const RECT frame =
      FrameAround(host_, RECT{0, 0, Scale(kDialogClientWidth), Scale(kDialogClientHeight)}, dpi_);
  const int w = frame.right - frame.left;
  const int h = frame.bottom - frame.top;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  const RECT area = GetMonitorInfoW(monitor, &info)
                        ? info.rcWork
                        : RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int x = area.left + (area.right - area.left - w) / 2;
  const int y = area.top + (area.bottom - area.top - h) / 2;
  if (!SetWindowPos(host_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE)) ThrowPlacementFailure(host_);
}

void SettingsDialog::FillLocations(const LocationCatalogue& catalogue) {
  catalogue_ = &catalogue;
  values_.SetRows(kIdComboBox1,
                  [&catalogue](int index) { return catalogue.Contains(static_cast<std::size_t>(index)); });
}

// 25,311 rows take a while and hold their wide copies in the list: only a dialog that is shown
// needs them.
void SettingsDialog::FillLocationList() {
  HWND list = Control(kIdComboBox1);
  if (catalogue_ == nullptr) return;
  SendMessageW(list, CB_INITSTORAGE, catalogue_->size(), static_cast<LPARAM>(catalogue_->size() * 64));
  // The drop-down's own list box neither redraws nor sets its scroll bar for each row: without
  // that, 25,311 rows take ten times as long.
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  HWND rows = GetComboBoxInfo(list, &info) ? info.hwndList : nullptr;
  if (rows != nullptr) SendMessageW(rows, WM_SETREDRAW, FALSE, 0);
  for (std::size_t i = 0; i < catalogue_->size(); ++i) {
    SendMessageW(list, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(ToWide(catalogue_->DisplayTextAt(i)).c_str()));
  }
  if (rows != nullptr) SendMessageW(rows, WM_SETREDRAW, TRUE, 0);
  // Only now: the hint subclasses the list, and each row would go through that subclass (with
  // a look-up of a window property each time, under Wine a round trip to its server).
  AddHint(list, catalogue_->ListHint());
}

void SettingsDialog::SetVersionLine(std::string_view line) { SetText(kIdVersionLine, line); }

void SettingsDialog::Fill() {
  filling_ = true;
  FillControls(live_, *this);
  filling_ = false;
  // What the controls can hold is what the settings are (a row beyond the list is none).
  ReadControls(*this, live_);
}

void SettingsDialog::Show() {
  // Laid out at the scale of the monitor it opens on, not where the hidden window sat: placed
  // there at that size, the system finds no change of scale to answer.
  const HMONITOR monitor = DialogMonitor();
  dpi_ = MonitorDpi(monitor);
  if (dpi_ == 0) dpi_ = WindowDpi(host_);
  if (!built_) {
    Build();
    // What the controls hold is what the settings are.
    ReadControls(*this, live_);
  }
  shown_ = live_;
  wchar_t time[64] = {};
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, 64);
  clock_ = time;
  InvalidateRect(Control(kIdColourSample), nullptr, FALSE);
  if (!pagesThemed_) {
    for (HWND page : pages_) ThemePageBackground(page);
    pagesThemed_ = true;
  }
  Rescale();
  CentreWindow(monitor);
  SelectPage(page_);
  ShowWindow(host_, SW_SHOW);
  SetForegroundWindow(host_);
  lastFocus_ = nullptr;
  if (HWND first = GetNextDlgTabItem(host_, nullptr, FALSE)) SetFocus(first);
}

void SettingsDialog::Hide() { ShowWindow(host_, SW_HIDE); }

void SettingsDialog::Cancel() {
  filling_ = true;
  FillControls(shown_, *this);
  filling_ = false;
  ReadControls(*this, live_);
  Hide();
}

void SettingsDialog::SelectPage(int index) {
  page_ = index;
  SendMessageW(Control(kIdTabs), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  HWND focus = GetFocus();
  for (int i = 0; i < kPageCount; ++i) {
    HWND page = pages_[static_cast<std::size_t>(i)];
    if (i != index && focus != nullptr && IsChild(page, focus)) SetFocus(Control(kIdTabs));
    ShowWindow(page, i == index ? SW_SHOWNA : SW_HIDE);
  }
}

bool SettingsDialog::PreTranslate(MSG& msg) {
  if (!built_ || !Visible() || (msg.hwnd != host_ && !IsChild(host_, msg.hwnd))) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
    const bool back = GetKeyState(VK_SHIFT) < 0;
    SelectPage((page_ + (back ? kPageCount - 1 : 1)) % kPageCount);
    return true;
  }
  return IsDialogMessageW(host_, &msg) != FALSE;
}

bool SettingsDialog::Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  // Unbuilt, the window is hidden and has nothing of the dialog's to draw or lay out.
  if (!built_) return false;
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wp);
      if (id != kIdOk && id != kIdCancel && controls_.find(id) == controls_.end()) return false;
      OnCommand(id, HIWORD(wp));
      return true;
    }
    case DM_GETDEFID:
      result = MAKELONG(kIdOk, DC_HASDEFID);
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      if (header->hwndFrom != Control(kIdTabs) || header->code != TCN_SELCHANGE) return false;
      SelectPage(static_cast<int>(SendMessageW(Control(kIdTabs), TCM_GETCURSEL, 0, 0)));
      return true;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (wp == kIdLogo) {
        DrawLogo(item);
      } else if (IsHeaderText(static_cast<int>(wp))) {
        DrawHeaderText(item);
      } else {
        return false;
      }
      result = TRUE;
      return true;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(host_, &ps);
      PaintHeader(dc);
      EndPaint(host_, &ps);
      return true;
    }
    case WM_SETCURSOR: {
      const auto over = reinterpret_cast<HWND>(wp);
      if (over != Control(kIdLogo) && over != Control(kIdColourSample)) return false;
      SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // the hand
      result = TRUE;
      return true;
    }
    case WM_ACTIVATE:
      // The host is a plain window: as a dialog does, it keeps the keyboard's place while another
      // window (the colour chooser, a box) is active, and gives it back on return.
      if (LOWORD(wp) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(host_, focus)) lastFocus_ = focus;
      } else if (lastFocus_ != nullptr && IsWindowVisible(lastFocus_) && IsChild(host_, lastFocus_)) {
        SetFocus(lastFocus_);
        return true;
      }
      return false;
    case WM_SYSCOMMAND:
      // Alt+F4 on the dialog leaves it as Esc does; only "Закрыть" ends the program.
      if ((wp & 0xFFF0) != SC_CLOSE || !Visible()) return false;
      Cancel();
      return true;
    case WM_DPICHANGED: {
      // Already laid out at this scale (placed by Show): the suggested place is not taken.
      if (HIWORD(wp) == dpi_) return false;
      dpi_ = HIWORD(wp);
      Guarded(host_, [&] {
        Rescale();
        const auto* suggested = reinterpret_cast<const RECT*>(lp);
        if (!SetWindowPos(host_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                          suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE))
          ThrowPlacementFailure(host_);
      });
      // The host has more to fit to a new scale (the tray's pictures): it sees the message too.
      return false;
    }
    default:
      return false;
  }
}

void SettingsDialog::OnCommand(int id, int code) {
  switch (id) {
    case kIdOk:
      if (onOk) onOk();
      return;
    case kIdCancel:
      Cancel();
      return;
    case kIdColourSample:
      Guarded(host_, [this] { ChooseColour(); });
      return;
    case kIdLogo:
      if (code == STN_CLICKED) OpenAddress(host_, MakerSiteAddress());
      return;
    case kIdCheckBox7:
    case kIdCheckBox8:
      if (code == BN_CLICKED) ApplyEnablingRule(*this);
      break;
    default:
      break;
  }
  if (code == BN_CLICKED || code == CBN_SELCHANGE || code == EN_CHANGE) Changed();
}

void SettingsDialog::ChooseColour() {
  static COLORREF custom[16] = {};
  CHOOSECOLORW chooser{};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = host_;
  chooser.rgbResult = ColourInForce();
  chooser.lpCustColors = custom;
  chooser.Flags = CC_RGBINIT | CC_ANYCOLOR;
  std::optional<std::uint32_t> chosen;
  if (ColourChooser()(&chooser)) chosen = chooser.rgbResult;
  SetColour(kIdColourSample, ColourAfterChoice(Colour(kIdColourSample), chosen));
  Changed();
}

std::uint32_t SettingsDialog::ColourInForce() const {
  return ChooseDigitInk(ChosenColour(Colour(kIdColourSample)), ReadTaskbarLook()).colour;
}

void SettingsDialog::Changed() {
  if (!filling_) ReadControls(*this, live_);
}

HWND WindowControls::Control(int id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second;
}

bool WindowControls::Checked(int id) const {
  return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowControls::SetChecked(int id, bool checked) {
  SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int WindowControls::Selected(int id) const {
  return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0));  // CB_ERR is -1
}

void WindowControls::SetSelected(int id, int index) {
  // An index beyond the list selects nothing.
  const auto count = static_cast<int>(SendMessageW(Control(id), CB_GETCOUNT, 0, 0));
  SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
}

std::string WindowControls::Text(int id) const {
  HWND control = Control(id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return FromWide(text);
}

void WindowControls::SetText(int id, std::string_view text) {
  SetWindowTextW(Control(id), ToWide(text).c_str());
  if (IsHeaderText(id)) InvalidateRect(Control(id), nullptr, FALSE);
}

std::uint32_t WindowControls::Colour(int) const { return colour_; }

void WindowControls::SetColour(int id, std::uint32_t colour) {
  colour_ = colour;
  InvalidateRect(Control(id), nullptr, FALSE);
}

void WindowControls::SetEnabled(int id, bool enabled) {
  EnableWindow(Control(id), enabled ? TRUE : FALSE);
}

// A page passes its controls' notifications on to the dialog. The colours of its labels, check
// boxes and group boxes are its own background's, which the dialog's default handling gives
// (the tab body's texture under a visual style).
LRESULT CALLBACK SettingsDialog::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
      return SendMessageW(GetParent(hwnd), msg, wp, lp);
    default:
      return DefDlgProcW(hwnd, msg, wp, lp);
  }
}

LRESULT CALLBACK SettingsDialog::PortFieldProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                               DWORD_PTR) {
  if (msg == WM_CHAR && !PortFieldAccepts(static_cast<unsigned>(wp))) return 0;
  return g_common.defSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace corvella
