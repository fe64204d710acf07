#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

namespace corvella {

// The one application error handler: a message box captioned with the application
// title, error icon, OK. The program goes on running afterwards.
void ShowApplicationError(HWND owner, std::string_view message);

// Opens a web address in the user's browser; when the system cannot (no program is set for web
// pages, say), the error box tells the user so.
void OpenAddress(HWND owner, std::string_view address);

// The system's text for an error code of GetLastError, in Windows-1251.
std::string SystemErrorText(DWORD code);

// Runs a handler body; any failure ends that handler and is shown.
template <class Body>
void Guarded(HWND owner, Body&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    ShowApplicationError(owner, e.what());
  }
}

}  // namespace corvella
