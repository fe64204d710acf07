// The main window and controller: a hidden window that owns the tray icon, its menu
// and, as the program grows, everything else for the life of the process.
#pragma once

#include <windows.h>

#include <memory>

#include "common/handles_win32.h"
#include "presentation/tray_icon_win32.h"

namespace corvella {

enum MenuCommand : UINT {
  kCommandClose = 100,
};

class MainForm {
 public:
  static constexpr wchar_t kWindowClass[] = L"CorvellaMainForm";

  // Creates the hidden window and runs FormCreate. A second instance never gets past
  // FormCreate: the process ends there with exit code 0.
  MainForm(HINSTANCE instance, HWND applicationWindow);
  ~MainForm();
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void FormCreate();
  void FormShow();
  void FormClose();
  void ShowPopupMenu();
  void OnCommand(UINT id);

  HINSTANCE instance_;
  HWND applicationWindow_;
  HWND window_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
  UniqueMenu popup_;
  UniqueIcon waitingIcon_;
};

}  // namespace corvella
