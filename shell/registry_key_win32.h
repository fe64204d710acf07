// The text value primitives shared by the registry adapters (settings store, autostart entry).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/handles_win32.h"

namespace corvella {

struct RegistryText {
  enum Status { kMissing, kNotText, kText };
  Status status = kMissing;
  std::wstring text;
};

// A text value (REG_SZ, or REG_EXPAND_SZ taken as stored, without expansion).
inline RegistryText QueryRegistryText(HKEY key, const wchar_t* name) {
  // The value may change size between the two calls; a few rounds settle it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {RegistryText::kNotText, {}};
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {RegistryText::kNotText, {}};
    // Stored texts end with a terminator, but the registry does not insist on one.
    std::wstring_view text(buffer.data(), got / sizeof(wchar_t));
    return {RegistryText::kText, std::wstring(text.substr(0, text.find(L'\0')))};
  }
  return {};
}

// Stores a REG_SZ value with its terminator; false when the registry refuses.
inline bool SetRegistryText(HKEY key, const wchar_t* name, std::wstring_view text) {
  if (text.size() >= MAXDWORD / sizeof(wchar_t) - 1) return false;
  std::wstring data(text);
  DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
         ERROR_SUCCESS;
}

}  // namespace corvella
