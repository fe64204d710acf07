// The settings store: an INI-style accessor (section, value name) over the per-user registry.
// Every value is kept as text; integers and booleans are read from and written as text here.
// Names, sections and texts are Windows-1251.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvella {

// The one section that holds all of the program's values.
inline constexpr std::string_view kSettingsSection = "corv";

// Error texts of the store, with the value's name in place of %s.
inline constexpr std::string_view kInvalidDataTypeError = "Invalid data type for '%s'";
inline constexpr std::string_view kFailedToSetDataError = "Failed to set data for '%s'";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // A missing section or value gives `def`; an existing empty text gives "".
  virtual std::string ReadString(std::string_view section, std::string_view name, std::string_view def) = 0;
  // A missing value, or one whose text is not a decimal integer, gives `def`.
  virtual int ReadInteger(std::string_view section, std::string_view name, int def) = 0;
  // Read as an integer with default 1 or 0; any non-zero integer is true.
  virtual bool ReadBool(std::string_view section, std::string_view name, bool def) = 0;

  // Writes create the section when it is missing; a failure throws "Failed to set data for '%s'".
  virtual void WriteString(std::string_view section, std::string_view name, std::string_view value) = 0;
  virtual void WriteInteger(std::string_view section, std::string_view name, int value) = 0;
  virtual void WriteBool(std::string_view section, std::string_view name, bool value) = 0;
};

// A store whose values are all texts: the integer and boolean forms and their read rules
// live here once, over two primitives of the concrete store.
class TextSettingsStore : public SettingsStore {
 public:
  std::string ReadString(std::string_view section, std::string_view name, std::string_view def) override;
  int ReadInteger(std::string_view section, std::string_view name, int def) override;
  bool ReadBool(std::string_view section, std::string_view name, bool def) override;
  void WriteString(std::string_view section, std::string_view name, std::string_view value) override;
  void WriteInteger(std::string_view section, std::string_view name, int value) override;
  void WriteBool(std::string_view section, std::string_view name, bool value) override;

 protected:
  // The value's text, or nullopt when the section or value is missing. A value that is not
  // text throws "Invalid data type for '%s'". Never changes the store.
  virtual std::optional<std::string> ReadText(std::string_view section, std::string_view name) = 0;
  // Stores a text value, creating the section; throws "Failed to set data for '%s'".
  virtual void WriteText(std::string_view section, std::string_view name, std::string_view value) = 0;
};

// The integer a stored text stands for: optional sign and decimal digits, within the range of
// int; anything else (empty, blanks, other characters, overflow) is not a number.
std::optional<int> ParseStoredInteger(std::string_view text);

// HKEY_CURRENT_USER "Software\Velmar", created if missing; each section is a subkey of it.
// Windows only.
std::unique_ptr<SettingsStore> OpenRegistrySettings();

}  // namespace corvella
