// A settings store held in memory, for tests: it keeps the value types of the registry so a
// wrongly typed value can be planted, and it can be told to fail writes.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/settings_store.h"

namespace corvella {

class MemorySettingsStore : public TextSettingsStore {
 public:
  enum class ValueType { kText, kExpandText, kDword, kBinary };

  // Plants a value as it would sit in the registry, bypassing the store's own write rules.
  void SetRaw(std::string_view section, std::string_view name, ValueType type, std::string data);
  void Remove(std::string_view section, std::string_view name);

  // The stored text of a value (whatever its type), or nullopt when missing.
  std::optional<std::string> Stored(std::string_view section, std::string_view name) const;
  bool HasSection(std::string_view section) const;

  // Every write fails, or only writes of the named value.
  void FailAllWrites(bool fail) { failAll_ = fail; }
  void FailWritesOf(std::string_view name) { failNames_.emplace(name); }

  // Value names in the order the store was asked for them (reads, and successful writes).
  const std::vector<std::string>& reads() const { return reads_; }
  const std::vector<std::string>& writes() const { return writes_; }
  void ClearLogs() {
    reads_.clear();
    writes_.clear();
  }

 protected:
  std::optional<std::string> ReadText(std::string_view section, std::string_view name) override;
  void WriteText(std::string_view section, std::string_view name, std::string_view value) override;

 private:
  struct Value {
    ValueType type;
    std::string data;
  };
  using Key = std::pair<std::string, std::string>;

  std::map<Key, Value, std::less<>> values_;
  std::set<std::string, std::less<>> sections_;
  std::set<std::string, std::less<>> failNames_;
  bool failAll_ = false;
  std::vector<std::string> reads_;
  std::vector<std::string> writes_;
};

}  // namespace corvella
