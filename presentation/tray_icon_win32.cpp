#include "presentation/tray_icon_win32.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "common/cp1251.h"
#include "presentation/tray_texts.h"

namespace corvella {
namespace {

constexpr wchar_t kWindowClass[] = L"CorvellaTrayWindow";
constexpr UINT kIconId = 1;
constexpr UINT kBaseFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// `text` is already cut to what the field holds.
template <std::size_t N>
void CopyText(wchar_t (&dest)[N], std::string_view text) {
  const std::wstring wide = ToWide(text.substr(0, std::min(text.size(), N - 1)));
  std::copy(wide.begin(), wide.end(), dest);
  dest[wide.size()] = L'\0';
}

}  // namespace

bool CommonControlsAbove470() {
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  if (comctl == nullptr) return false;
  bool above = false;
  auto getVersion =
      reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
  if (getVersion != nullptr) {
    DLLVERSIONINFO version{};
    version.cbSize = sizeof version;
    if (SUCCEEDED(getVersion(&version))) {
      above = version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion > 70);
    }
  }
  FreeLibrary(comctl);
  return above;
}

TrayIcon::TrayIcon(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &TrayIcon::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);  // fails harmlessly when a second icon registers again
  window_.reset(
      CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
  SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // Explorer restarted: the icon must be added again.
  if (CommonControlsAbove470()) taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
}

TrayIcon::~TrayIcon() {
  Hide();
  SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

NOTIFYICONDATAW TrayIcon::BaseRecord(UINT flags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_.get();
  data.uID = kIconId;
  data.uFlags = flags;
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = picture_.get();
  CopyText(data.szTip, TipText(hint_));
  return data;
}

void TrayIcon::Update(DWORD action, UINT flags) {
  NOTIFYICONDATAW data = BaseRecord(flags);
  Shell_NotifyIconW(action, &data);
}

void TrayIcon::Show() {
  if (shown_) return;
  shown_ = true;
  Update(NIM_ADD, kBaseFlags);
  // A separate call: a version given with the add does not stick.
  NOTIFYICONDATAW data = BaseRecord(0);
  data.uVersion = 0;
  Shell_NotifyIconW(NIM_SETVERSION, &data);
}

void TrayIcon::Hide() {
  if (!shown_) return;
  shown_ = false;
  Update(NIM_DELETE, 0);
}

void TrayIcon::SetPicture(HICON icon) {
  picture_.reset(icon ? CopyIcon(icon) : nullptr);
  if (shown_) Update(NIM_MODIFY, kBaseFlags);
}

void TrayIcon::SetHint(std::string_view text) {
  hint_.assign(text);
  if (shown_) Update(NIM_MODIFY, kBaseFlags);
}

void TrayIcon::ShowBalloon(std::string_view title, std::string_view text, BalloonKind kind, int seconds) {
  if (!shown_) return;
  // Each balloon goes out on a fresh record, so adding the icon again after a shell
  // restart never brings an old balloon back.
  NOTIFYICONDATAW takeDown = BaseRecord(kBaseFlags | NIF_INFO);
  Shell_NotifyIconW(NIM_MODIFY, &takeDown);

  NOTIFYICONDATAW data = BaseRecord(kBaseFlags | NIF_INFO);
  CopyText(data.szInfo, BalloonText(text));
  CopyText(data.szInfoTitle, BalloonTitle(title));
  data.uTimeout = static_cast<UINT>(std::max(seconds, 0)) * 1000u;
  data.dwInfoFlags = static_cast<DWORD>(kind);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::HideAppButton(HWND applicationWindow) {
  if (applicationWindow != nullptr && IsWindowVisible(applicationWindow))
    ShowWindow(applicationWindow, SW_HIDE);
}

LRESULT CALLBACK TrayIcon::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) {
    if (msg == kCallbackMessage) {
      // Version 0: the mouse message is the whole second parameter. Only two of them act.
      switch (static_cast<UINT>(lp)) {
        case WM_RBUTTONDOWN:
          if (self->onRightButtonDown) self->onRightButtonDown();
          return 0;
        case WM_LBUTTONDBLCLK:
          if (self->onLeftDoubleClick) self->onLeftDoubleClick();
          return 0;
        default:
          return 0;
      }
    }
    if (self->taskbarCreated_ != 0 && msg == self->taskbarCreated_) {
      if (self->shown_) self->Update(NIM_ADD, kBaseFlags);
      if (self->onTaskbarCreated) self->onTaskbarCreated();
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace corvella
