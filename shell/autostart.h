// The autostart entry: the value "corv" in the per-user Run key of Windows. Its data is the
// executable's full path in quotes when autostart is on and the empty string when it is off; the
// value is never deleted. The data is UTF-8, not Windows-1251: a path may hold any letter (a user
// folder named "Zoë" or "Әлия"), and a letter lost on the way would leave a Run entry that starts
// nothing.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace corvella {

inline constexpr std::string_view kAutostartValueName = "corv";

class AutostartEntry {
 public:
  virtual ~AutostartEntry() = default;
  // The entry's data; "" when the Run key can't be opened or the value is missing.
  virtual std::string Read() = 0;
  // Throws "Failed to set data for 'corv'" when the Run key can't be opened or written.
  virtual void Write(std::string_view data) = 0;
};

// HKEY_CURRENT_USER "Software\Microsoft\Windows\CurrentVersion\Run", opened for each use without
// being created, flushed when closed. Windows only.
std::unique_ptr<AutostartEntry> OpenRunKeyAutostart();

// An entry held in memory, for tests. Without a Run key reads give "" and writes fail.
class MemoryAutostartEntry : public AutostartEntry {
 public:
  std::string Read() override;
  void Write(std::string_view data) override;

  bool runKeyPresent = true;
  std::optional<std::string> data;  // nullopt: no value in the Run key
  int writeCount = 0;
};

}  // namespace corvella
