// A function of a system DLL looked up by name: for what is newer than the oldest Windows the
// program runs on, and for libraries loaded only when they are first needed.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>

namespace corvella {

// `name` in `module` as a pointer of type Fn; null when the module is null or lacks the name.
template <class Fn>
Fn SystemFunction(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A DLL of the system folder by its file name, never a file of that name planted beside the
// program (a Downloads folder) or in the current folder. Windows 7 without its 2011 loader update
// knows no search flags: there the full path is given instead. Every DLL the program loads goes
// through here; bare-name loads are not used.
inline HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  if (HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryExW((std::wstring(system, length) + L"\\" + fileName).c_str(), nullptr,
                        LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A refusal that costs the user little (the keyboard focus, a refresh after a wake) goes to the
// debugger, not to an error box: "Corvella: CALL failed, error N".
inline void TraceFailure(const wchar_t* call, DWORD error) {
  wchar_t text[128];
  std::swprintf(text, 128, L"Corvella: %ls failed, error %lu\n", call, static_cast<unsigned long>(error));
  OutputDebugStringW(text);
}

// From here on, DLLs that the system's own DLLs load by name come from the system folder too,
// not the program's folder. Called first thing, before any other DLL is loaded.
inline void RestrictDllSearchToSystem() {
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  // Windows 8, and Windows 7 with its 2011 loader update.
  if (auto setDefault =
          SystemFunction<SetDefaultFn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Nor the current folder for what still searches the old way.
  SetDllDirectoryW(L"");
}

}  // namespace corvella
