// The autostart entry in the per-user Run key. The key is never created by us: when it is
// missing, reads give nothing and writes report the failure. Closing it is enough: the registry
// writes its changes to disk by itself within seconds, and a flush would hold up every read.
#include <windows.h>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/utf8_win32.h"
#include "shell/autostart.h"
#include "shell/registry_key_win32.h"
#include "shell/settings_store.h"

namespace corvella {
namespace {

constexpr const wchar_t* kRunKeyPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

UniqueRegistryKey OpenRunKey(REGSAM access) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, access, &raw) != ERROR_SUCCESS) return {};
  return UniqueRegistryKey(raw);
}

class RunKeyAutostart : public AutostartEntry {
 public:
  std::string Read() override {
    UniqueRegistryKey key = OpenRunKey(KEY_QUERY_VALUE);
    if (!key) return {};
    // Only a text can hold a path; any other value under our name reads as no entry.
    RegistryText value = QueryRegistryText(key.get(), ToWide(kAutostartValueName).c_str());
    return value.status == RegistryText::kText ? WideToUtf8(value.text) : std::string();
  }

  void Write(std::string_view data) override {
    UniqueRegistryKey key = OpenRunKey(KEY_SET_VALUE);
    if (!key || !SetRegistryText(key.get(), ToWide(kAutostartValueName).c_str(), Utf8ToWide(data))) {
      throw Error(FillMessage(kFailedToSetDataError, kAutostartValueName));
    }
  }
};

}  // namespace

std::unique_ptr<AutostartEntry> OpenRunKeyAutostart() { return std::make_unique<RunKeyAutostart>(); }

}  // namespace corvella
