#include "shell/main_form_win32.h"

#include "common/cp1251.h"
#include "presentation/tray_art_win32.h"
#include "shell/app_names.h"
#include "shell/error_box_win32.h"
#include "shell/single_instance_win32.h"

namespace corvella {

MainForm::MainForm(HINSTANCE instance, HWND applicationWindow)
    : instance_(instance), applicationWindow_(applicationWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &MainForm::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
  // Owned by the application window, so a running instance's dialog never counts
  // as the instance itself.
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kWindowClass, ToWide(kDialogCaption).c_str(),
                            WS_POPUP | WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, 480, 360, applicationWindow,
                            nullptr, instance, this);
  Guarded(window_, [this] { FormCreate(); });
  FormShow();
}

MainForm::~MainForm() {
  tray_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
}

void MainForm::FormCreate() {
  if (AnotherInstanceRunning(applicationWindow_)) ExitProcess(0);
  tray_ = std::make_unique<TrayIcon>(instance_);
  tray_->SetHint(kProductName);
  tray_->onRightButtonDown = [this] { ShowPopupMenu(); };

  popup_.reset(CreatePopupMenu());
  AppendMenuW(popup_.get(), MF_STRING, kCommandClose, ToWide(kMenuClose).c_str());
}

// The icon appears once the main window is loaded.
void MainForm::FormShow() {
  if (!tray_) return;
  waitingIcon_ = MakeIcon(WaitingPicture());
  tray_->SetPicture(waitingIcon_.get());
  tray_->Show();
}

void MainForm::FormClose() { DestroyWindow(window_); }

void MainForm::ShowPopupMenu() {
  POINT at{};
  GetCursorPos(&at);
  // The menu closes properly only when our window is in the foreground.
  SetForegroundWindow(window_);
  TrackPopupMenu(popup_.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  PostMessageW(window_, WM_NULL, 0, 0);
}

void MainForm::OnCommand(UINT id) {
  switch (id) {
    case kCommandClose:
      FormClose();
      break;
    default:
      break;
  }
}

LRESULT MainForm::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      Guarded(window_, [&] { OnCommand(LOWORD(wp)); });
      return 0;
    case WM_CLOSE:
      FormClose();
      return 0;
    case WM_DESTROY:
      tray_.reset();  // the icon leaves the notification area with the window
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, msg, wp, lp);
  }
}

LRESULT CALLBACK MainForm::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* self = static_cast<MainForm*>(create->lpCreateParams);
    self->window_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->window_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

}  // namespace corvella
