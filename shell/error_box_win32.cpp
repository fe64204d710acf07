#include "shell/error_box_win32.h"

#include <shellapi.h>

#include "common/com_win32.h"
#include "common/cp1251.h"
#include "common/error.h"
#include "common/text_literal.h"
#include "shell/app_names.h"

namespace corvella {

void ShowApplicationError(HWND owner, std::string_view message) {
  // A box raised by a timer's pass has no window of ours on screen: owned by the hidden main
  // window it could open behind everything, unseen. Then it stands on its own (with a taskbar
  // button), and in any case it asks to come to the front.
  if (owner != nullptr && !IsWindowVisible(owner)) owner = nullptr;
  MessageBoxW(owner, ToWide(ErrorBoxText(message)).c_str(), ToWide(kProductName).c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void OpenAddress(HWND owner, std::string_view address) {
  com::Start();  // the shell's "open" may go through COM
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"open", ToWide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return;
  // Above all: no program is set for web addresses. Smaller values are system error codes.
  DWORD code = static_cast<DWORD>(result);
  if (result == SE_ERR_NOASSOC || result == SE_ERR_ASSOCINCOMPLETE) code = ERROR_NO_ASSOCIATION;
  if (result == 0) code = ERROR_OUTOFMEMORY;
  ShowApplicationError(
      owner, std::string("Не удалось открыть "_cp) + std::string(address) + ": " + SystemErrorText(code));
}

std::string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? FromWide(std::wstring_view(text, length))
                                                       : "System error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

}  // namespace corvella
