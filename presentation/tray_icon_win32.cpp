#include "presentation/tray_icon_win32.h"

#include <shellapi.h>

#include <algorithm>

#include "common/cp1251.h"

namespace corvella {
namespace {

constexpr wchar_t kWindowClass[] = L"CorvellaTrayWindow";
constexpr UINT kIconId = 1;

void CopyText(wchar_t* dest, std::size_t capacity, std::string_view text) {
  std::wstring wide = ToWide(text.substr(0, std::min(text.size(), capacity - 1)));
  std::copy(wide.begin(), wide.end(), dest);
  dest[wide.size()] = L'\0';
}

}  // namespace

TrayIcon::TrayIcon(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &TrayIcon::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);  // fails harmlessly when a second icon registers again
  window_.reset(CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
  SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // Explorer restarted: the icon must be added again.
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
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
  CopyText(data.szTip, std::size(data.szTip), std::string_view(hint_).substr(0, kTipLength));
  return data;
}

void TrayIcon::Update(DWORD action, UINT flags) {
  NOTIFYICONDATAW data = BaseRecord(flags);
  Shell_NotifyIconW(action, &data);
}

void TrayIcon::Show() {
  if (shown_) return;
  shown_ = true;
  Update(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

void TrayIcon::Hide() {
  if (!shown_) return;
  shown_ = false;
  Update(NIM_DELETE, 0);
}

void TrayIcon::SetPicture(HICON icon) {
  picture_.reset(icon ? CopyIcon(icon) : nullptr);
  if (shown_) Update(NIM_MODIFY, NIF_ICON);
}

void TrayIcon::SetHint(std::string_view text) {
  hint_.assign(text);
  if (shown_) Update(NIM_MODIFY, NIF_TIP);
}

void TrayIcon::ShowBalloon(std::string_view title, std::string_view text, BalloonKind kind, int seconds) {
  if (!shown_) return;
  NOTIFYICONDATAW data = BaseRecord(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO);
  CopyText(data.szInfo, std::size(data.szInfo), text);
  CopyText(data.szInfoTitle, std::size(data.szInfoTitle), title);
  data.uTimeout = static_cast<UINT>(seconds) * 1000u;
  data.dwInfoFlags = static_cast<DWORD>(kind);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

LRESULT CALLBACK TrayIcon::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TrayIcon*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) {
    if (msg == kCallbackMessage) {
      switch (LOWORD(lp)) {
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
    if (msg == self->taskbarCreated_ && self->shown_) {
      self->Update(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace corvella
