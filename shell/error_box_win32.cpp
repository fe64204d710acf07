#include "shell/error_box_win32.h"

#include "common/cp1251.h"
#include "common/error.h"
#include "shell/app_names.h"

namespace corvella {

void ShowApplicationError(HWND owner, std::string_view message) {
  MessageBoxW(owner, ToWide(ErrorBoxText(message)).c_str(), ToWide(kProductName).c_str(),
              MB_OK | MB_ICONERROR);
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
