// The coordinates of every place ever looked up, in an SQLite file, so that each place is asked
// of the geocoder once. The file can be warmed on one machine and shipped read-only to others.
// Beside them, in tables of their own, what the forecast provider's budget has spent and which
// places have been served, so that neither starts afresh on a restart.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "gateway/call_budget.h"
#include "gateway/place_forecast.h"

struct sqlite3;

namespace corvella::gateway {

// How a place's coordinates were found; `Nowhere` records that nothing was found at all.
enum class GeocodeHow { Region, Country, Centre, Nowhere };

struct StoredPlace {
  GeocodeHow how = GeocodeHow::Nowhere;
  Coordinates at;
};

// The file is not an SQLite database, or a damaged one.
struct StoreDamaged : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class GeocodeStore {
 public:
  // Opens (creating when allowed) the file; throws StoreDamaged, or std::runtime_error with
  // SQLite's message.
  GeocodeStore(const std::string& path, bool readOnly);
  // The store is only a cache, so the gateway always gets one: the file at `path`; when it is
  // damaged, a new one there, the old one moved aside; when it cannot be written, the file
  // read-only; when it cannot be opened at all, one in memory. Each of these is told to `log`.
  static std::unique_ptr<GeocodeStore> OpenAnyway(const std::string& path, const std::function<void(const std::string&)>& log);
  bool readOnly() const { return readOnly_; }
  ~GeocodeStore();
  GeocodeStore(const GeocodeStore&) = delete;
  GeocodeStore& operator=(const GeocodeStore&) = delete;

  std::optional<StoredPlace> Find(const std::string& feedId);
  // False when the store is read-only or the write failed: the answer is then held in memory
  // only, until the process ends (a place is asked of the geocoder once either way).
  bool Save(const std::string& feedId, const StoredPlace& place);
  std::size_t Count();

  // The budget named `gate`, as last saved (one small write per batch of calls).
  std::optional<CallBudget::Spent> LoadSpentCalls(const std::string& gate);
  bool SaveSpentCalls(const std::string& gate, const CallBudget::Spent& spent);
  // Places served since `since` (Unix seconds), and more of them served at `at`.
  std::vector<std::string> LoadServedPlaces(std::int64_t since);
  bool SaveServedPlaces(const std::vector<std::string>& feedIds, std::int64_t at);

 private:
  bool Exec(const char* sql);  // under mutex_
  bool CreateBudgetTables();
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  bool readOnly_;
  std::unordered_map<std::string, StoredPlace> unsaved_;  // at most one per catalogue place
};

}  // namespace corvella::gateway
