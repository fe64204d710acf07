// A function of a system DLL looked up by name: for what is newer than the oldest Windows the
// program runs on, and for libraries loaded only when they are first needed.
#pragma once

#include <windows.h>

namespace corvella {

// `name` in `module` as a pointer of type Fn; null when the module is null or lacks the name.
template <class Fn>
Fn SystemFunction(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace corvella
