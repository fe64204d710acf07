// The bank's series of each currency, kept beside the geocode store in the same SQLite file
// (tables of their own, a connection of its own), so that a restart does not ask again the
// same day. A store that cannot be written keeps nothing: the series then live in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gateway/bank_rates.h"

struct sqlite3;

namespace corvella::gateway {

struct StoredSeries {
  std::int64_t fetchedDay = 0;  // Moscow's date of the fetch
  std::vector<BankRecord> records;
};

class RateSeriesStore {
 public:
  // Never throws: a file that cannot be opened for writing leaves the store empty.
  explicit RateSeriesStore(const std::string& path);
  ~RateSeriesStore();
  RateSeriesStore(const RateSeriesStore&) = delete;
  RateSeriesStore& operator=(const RateSeriesStore&) = delete;

  std::optional<StoredSeries> Find(const std::string& id);
  // Replaces the currency's series; false when it could not be kept.
  bool Save(const std::string& id, const StoredSeries& series);

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace corvella::gateway
