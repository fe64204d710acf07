#include "shell/memory_settings_store.h"

#include "common/error.h"

namespace corvella {

void MemorySettingsStore::SetRaw(std::string_view section, std::string_view name, ValueType type,
                                 std::string data) {
  sections_.emplace(section);
  values_[Key(section, name)] = Value{type, std::move(data)};
}

void MemorySettingsStore::Remove(std::string_view section, std::string_view name) {
  values_.erase(Key(section, name));
}

std::optional<std::string> MemorySettingsStore::Stored(std::string_view section,
                                                       std::string_view name) const {
  auto it = values_.find(Key(section, name));
  if (it == values_.end()) return std::nullopt;
  return it->second.data;
}

bool MemorySettingsStore::HasSection(std::string_view section) const { return sections_.contains(section); }

std::optional<std::string> MemorySettingsStore::ReadText(std::string_view section, std::string_view name) {
  reads_.emplace_back(name);
  auto it = values_.find(Key(section, name));
  if (it == values_.end()) return std::nullopt;
  if (it->second.type != ValueType::kText && it->second.type != ValueType::kExpandText) {
    throw Error(FillMessage(kInvalidDataTypeError, name));
  }
  return it->second.data;
}

void MemorySettingsStore::WriteText(std::string_view section, std::string_view name, std::string_view value) {
  if (failAll_ || failNames_.contains(name)) throw Error(FillMessage(kFailedToSetDataError, name));
  SetRaw(section, name, ValueType::kText, std::string(value));
  writes_.emplace_back(name);
}

}  // namespace corvella
