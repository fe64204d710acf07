// The coordinates of every place ever looked up, in an SQLite file, so that each place is asked
// of the geocoder once. The file can be warmed on one machine and shipped read-only to others.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "gateway/place_forecast.h"

struct sqlite3;

namespace corvella::gateway {

// How a place's coordinates were found; `Nowhere` records that nothing was found at all.
enum class GeocodeHow { Region, Country, Centre, Nowhere };

struct StoredPlace {
  GeocodeHow how = GeocodeHow::Nowhere;
  Coordinates at;
};

class GeocodeStore {
 public:
  // Opens (creating when allowed) the file; throws std::runtime_error with SQLite's message.
  GeocodeStore(const std::string& path, bool readOnly);
  ~GeocodeStore();
  GeocodeStore(const GeocodeStore&) = delete;
  GeocodeStore& operator=(const GeocodeStore&) = delete;

  std::optional<StoredPlace> Find(const std::string& feedId);
  // False when the store is read-only or the write failed: the answer is then held in memory
  // only, until the process ends (a place is asked of the geocoder once either way).
  bool Save(const std::string& feedId, const StoredPlace& place);
  std::size_t Count();

 private:
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  bool readOnly_;
  std::unordered_map<std::string, StoredPlace> unsaved_;  // at most one per catalogue place
};

}  // namespace corvella::gateway
