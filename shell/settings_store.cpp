#include "shell/settings_store.h"

#include <charconv>

namespace corvella {

std::optional<int> ParseStoredInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // from_chars takes a "-" but not a "+"; a "+" may lead only a number.
  if (text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || text.front() == '-') return std::nullopt;
  }
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string TextSettingsStore::ReadString(std::string_view section, std::string_view name,
                                          std::string_view def) {
  std::optional<std::string> text = ReadText(section, name);
  return text ? std::move(*text) : std::string(def);
}

int TextSettingsStore::ReadInteger(std::string_view section, std::string_view name, int def) {
  std::optional<std::string> text = ReadText(section, name);
  if (!text) return def;
  return ParseStoredInteger(*text).value_or(def);
}

bool TextSettingsStore::ReadBool(std::string_view section, std::string_view name, bool def) {
  return ReadInteger(section, name, def ? 1 : 0) != 0;
}

void TextSettingsStore::WriteString(std::string_view section, std::string_view name, std::string_view value) {
  WriteText(section, name, value);
}

void TextSettingsStore::WriteInteger(std::string_view section, std::string_view name, int value) {
  WriteText(section, name, std::to_string(value));
}

void TextSettingsStore::WriteBool(std::string_view section, std::string_view name, bool value) {
  WriteText(section, name, value ? "1" : "0");
}

}  // namespace corvella
