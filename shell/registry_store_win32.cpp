// The settings store on HKEY_CURRENT_USER "Software\Velmar". Names and texts go through our own
// Windows-1251 table to the wide-character calls, so the stored names are the same on any Windows.
#include <windows.h>

#include "common/cp1251.h"
#include "common/error.h"
#include "shell/registry_key_win32.h"
#include "shell/settings_store.h"

namespace corvella {
namespace {

constexpr const wchar_t* kStoreKeyPath = L"Software\\Velmar";

class RegistrySettingsStore : public TextSettingsStore {
 public:
  explicit RegistrySettingsStore(UniqueRegistryKey root) : root_(std::move(root)) {}

 protected:
  std::optional<std::string> ReadText(std::string_view section, std::string_view name) override {
    if (!root_) return std::nullopt;
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root_.get(), ToWide(section).c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    UniqueRegistryKey key(raw);
    RegistryText value = QueryRegistryText(key.get(), ToWide(name).c_str());
    switch (value.status) {
      case RegistryText::kMissing:
        return std::nullopt;
      case RegistryText::kNotText:
        throw Error(FillMessage(kInvalidDataTypeError, name));
      case RegistryText::kText:
        break;
    }
    return FromWide(value.text);
  }

  void WriteText(std::string_view section, std::string_view name, std::string_view value) override {
    HKEY raw = nullptr;
    if (!root_ || RegCreateKeyExW(root_.get(), ToWide(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
      throw Error(FillMessage(kFailedToSetDataError, name));
    }
    UniqueRegistryKey key(raw);
    if (!SetRegistryText(key.get(), ToWide(name).c_str(), ToWide(value))) {
      throw Error(FillMessage(kFailedToSetDataError, name));
    }
  }

 private:
  UniqueRegistryKey root_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenRegistrySettings() {
  HKEY raw = nullptr;
  // When even this fails, every read gives its default and every write reports its failure.
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kStoreKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    raw = nullptr;
  }
  return std::make_unique<RegistrySettingsStore>(UniqueRegistryKey(raw));
}

}  // namespace corvella
