#include "common/com_win32.h"

#include "common/system_function_win32.h"

namespace corvella::com {
namespace {

struct Ole32 {
  HRESULT(WINAPI* initializeEx)(void*, DWORD) = nullptr;
  HRESULT(WINAPI* createInstance)(REFCLSID, IUnknown*, DWORD, REFIID, void**) = nullptr;
  HRESULT(WINAPI* createStreamOnHGlobal)(HGLOBAL, BOOL, IStream**) = nullptr;
};

// ole32 and its three functions; an empty table when any is missing.
const Ole32& Library() {
  static const Ole32 table = [] {
    HMODULE library = LoadSystemLibrary(L"ole32.dll");
    Ole32 found{SystemFunction<decltype(found.initializeEx)>(library, "CoInitializeEx"),
                SystemFunction<decltype(found.createInstance)>(library, "CoCreateInstance"),
                SystemFunction<decltype(found.createStreamOnHGlobal)>(library, "CreateStreamOnHGlobal")};
    if (!found.initializeEx || !found.createInstance || !found.createStreamOnHGlobal) found = Ole32{};
    return found;
  }();
  return table;
}

}  // namespace

bool Start() {
  static bool started = false;
  if (started) return true;
  const Ole32& ole32 = Library();
  if (ole32.initializeEx == nullptr) return false;
  // OLE 1's DDE support would give the thread a hidden window that joins in every DDE broadcast,
  // which the program does not use. S_FALSE: the thread had it started already. Either way it stays so until the process ends.
  started = SUCCEEDED(ole32.initializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  return started;
}

HRESULT CreateInstance(REFCLSID clsid, DWORD context, REFIID iid, void** object) {
  *object = nullptr;
  const Ole32& ole32 = Library();
  return ole32.createInstance ? ole32.createInstance(clsid, nullptr, context, iid, object) : E_FAIL;
}

HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, IStream** stream) {
  *stream = nullptr;
  const Ole32& ole32 = Library();
  return ole32.createStreamOnHGlobal ? ole32.createStreamOnHGlobal(memory, deleteOnRelease, stream) : E_FAIL;
}

}  // namespace corvella::com
