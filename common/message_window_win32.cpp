#include "common/message_window_win32.h"

namespace corvella {

bool RegisterWindowClass(HINSTANCE instance, const WindowClassSpec& cls, WNDPROC procedure) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, cls.name, &existing) != FALSE) {
    if (existing.lpfnWndProc == procedure) return true;
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return false;
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = cls.style;
  wc.lpfnWndProc = procedure;
  wc.cbWndExtra = cls.extraBytes;
  wc.hInstance = instance;
  wc.hCursor = cls.cursor;
  wc.hbrBackground = cls.background;
  wc.lpszClassName = cls.name;
  return RegisterClassExW(&wc) != 0;
}

bool MessageWindow::Create(MessageHandler* handler, HINSTANCE instance, const WindowClassSpec& cls,
                           const WindowCreateSpec& at) {
  if (!RegisterWindowClass(instance, cls, &MessageWindow::Procedure)) return false;
  handler_ = handler;
  // WM_NCCREATE sets window_ (messages sent during creation already need it).
  const HWND created = CreateWindowExW(at.exStyle, cls.name, at.title, at.style, at.x, at.y, at.width, at.height,
                                       at.parent, at.menu, instance, this);
  if (created == nullptr) {
    window_ = nullptr;
    return false;
  }
  return true;
}

void MessageWindow::Release() {
  if (window_ == nullptr) return;
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  window_ = nullptr;
}

void MessageWindow::Destroy() {
  const HWND window = window_;
  Release();
  if (window != nullptr) DestroyWindow(window);
}

LRESULT CALLBACK MessageWindow::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MessageWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
    // The previous value is 0, so only the last error tells a failure; without the back pointer
    // the window would be deaf, so it is better not created at all.
    SetLastError(0);
    if (SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self)) == 0 && GetLastError() != 0)
      return FALSE;
    self->window_ = hwnd;
  }
  // Before WM_NCCREATE (WM_GETMINMAXINFO comes first) and after Release there is nobody to ask.
  auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->window_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
  MessageHandler* handler = self->handler_;
  if (msg == WM_NCDESTROY) {
    // The window's last message: the handle is let go first, whoever answers (a window without a
    // handler too), and the owner hears it with get() already null; the default is done here.
    self->Release();
    if (handler != nullptr) handler->Handle(msg, wp, lp);
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return handler != nullptr ? handler->Handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace corvella
