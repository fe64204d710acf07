#include "presentation/taskbar_look_win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include "common/handles_win32.h"
#include "common/system_function_win32.h"
#include "presentation/pin_hint.h"

namespace corvella {
namespace {

// The path of a known folder given as "{GUID}" text; ole32's parser and allocator are loaded at
// run time (COM is up by the first pass, when this is asked).
std::optional<std::wstring> KnownFolder(std::wstring_view guid) {
  using ParseFn = HRESULT(WINAPI*)(LPCOLESTR, LPCLSID);
  using FreeFn = void(WINAPI*)(LPVOID);
  HMODULE ole = LoadSystemLibrary(L"ole32.dll");
  const auto parse = SystemFunction<ParseFn>(ole, "CLSIDFromString");
  const auto free = SystemFunction<FreeFn>(ole, "CoTaskMemFree");
  const std::wstring text(guid);
  GUID id{};
  PWSTR path = nullptr;
  std::optional<std::wstring> found;
  if (parse != nullptr && free != nullptr && SUCCEEDED(parse(text.c_str(), &id)) &&
      SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path != nullptr)
    found = std::wstring(path);
  if (path != nullptr && free != nullptr) free(path);
  if (ole != nullptr) FreeLibrary(ole);
  return found;
}

std::wstring StringValue(HKEY key, const wchar_t* name) {
  wchar_t text[MAX_PATH * 2] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) return {};
  return text;
}

}  // namespace

TaskbarLook ReadTaskbarLook() {
  TaskbarLook look;
  DWORD value = 0;
  DWORD size = sizeof value;
  // RegGetValueW checks the type for us; anything but a DWORD counts as absent, which is dark.
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                   L"SystemUsesLightTheme", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS) {
    look.light = value != 0;
  }
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0) {
    look.highContrastText = static_cast<std::uint32_t>(GetSysColor(COLOR_WINDOWTEXT));
  }
  return look;
}

std::optional<bool> ReadIconPromoted(const std::wstring& exePath) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\NotifyIconSettings", 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return std::nullopt;
  const UniqueRegistryKey list(opened);
  std::optional<bool> promoted;
  // One numbered subkey a program; a few dozen at most.
  for (DWORD index = 0; !promoted; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    const LSTATUS status = RegEnumKeyExW(list.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    if (RegOpenKeyExW(list.get(), name, 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
    const UniqueRegistryKey entry(opened);
    if (SameProgram(StringValue(entry.get(), L"ExecutablePath"), exePath, KnownFolder)) {
      DWORD value = 0, size = sizeof value;
      promoted = RegGetValueW(entry.get(), nullptr, L"IsPromoted", RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                 value != 0;
    }
  }
  return promoted;
}

}  // namespace corvella
