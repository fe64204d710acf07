// One way to make a window of ours: the class registered once, the owner's `this` stored on
// WM_NCCREATE (so not even the first messages are lost), every message after that handed to the
// owner's Handle, and the back pointer cleared before the window is destroyed, so that no message
// reaches a half-destroyed object.
#pragma once

#include <windows.h>

namespace corvella {

// What a window of ours answers. Handle returns what the window procedure returns; what it does
// not handle goes to DefWindowProcW(window, msg, wp, lp). WM_NCDESTROY comes last, once the
// window has been let go (get() is null); its default handling is done for the owner.
class MessageHandler {
 public:
  virtual LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) = 0;

 protected:
  ~MessageHandler() = default;
};

// The parts of a window class that differ between our windows.
struct WindowClassSpec {
  const wchar_t* name = nullptr;
  UINT style = 0;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  // Bytes kept with each window (DLGWINDOWEXTRA for a window that is a dialog to the system).
  int extraBytes = 0;
};

// Registers the class in `instance` with `procedure`, once: a class already there with the same
// procedure is taken as it is. False, with GetLastError set, when it cannot be registered or
// the name belongs to a class with another procedure (whose windows would never reach us).
bool RegisterWindowClass(HINSTANCE instance, const WindowClassSpec& cls, WNDPROC procedure);

// Where and how the window is created; the class is given separately.
struct WindowCreateSpec {
  DWORD exStyle = 0;
  const wchar_t* title = L"";
  DWORD style = WS_POPUP;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  HWND parent = nullptr;
  // The child window's id (for a child), else nullptr.
  HMENU menu = nullptr;
};

// Owns one window whose messages go to a MessageHandler. Declare it so that it is destroyed
// before what the handler uses, or call Destroy first in the owner's destructor.
class MessageWindow {
 public:
  MessageWindow() = default;
  ~MessageWindow() { Destroy(); }
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Registers the class in `instance` unless it is registered there already, and creates the
  // window; `handler` hears every message from WM_NCCREATE on. False, with GetLastError set,
  // when the class cannot be registered (or the name is taken by another kind of window) or the
  // window cannot be created. Call once.
  bool Create(MessageHandler* handler, HINSTANCE instance, const WindowClassSpec& cls, const WindowCreateSpec& at);

  // The window; nullptr before Create, after a failed one, and once the window is gone. The
  // reference stays valid for the object's life, for helpers that look at it later.
  const HWND& get() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }

  // Stops the messages, then destroys the window. Nothing more reaches the handler.
  void Destroy();
  // Stops the messages for a window that is being destroyed already (from its WM_DESTROY).
  void Release();

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  MessageHandler* handler_ = nullptr;
  HWND window_ = nullptr;
};

}  // namespace corvella
