#include "gateway/geocode_store.h"

#include <sqlite3.h>

#include <stdexcept>

namespace corvella::gateway {

namespace {

struct Statement {
  sqlite3_stmt* s = nullptr;
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) s = nullptr;
  }
  ~Statement() { sqlite3_finalize(s); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
};

}  // namespace

GeocodeStore::GeocodeStore(const std::string& path, bool readOnly) : readOnly_(readOnly) {
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot open geocode store " + path + ": " + message);
  }
  sqlite3_busy_timeout(db_, 5000);
  const char* schema =
      "CREATE TABLE IF NOT EXISTS place (feed_id TEXT PRIMARY KEY, how INTEGER NOT NULL,"
      " latitude REAL NOT NULL, longitude REAL NOT NULL, saved_at INTEGER NOT NULL)";
  char* error = nullptr;
  if (!readOnly && sqlite3_exec(db_, schema, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot use geocode store " + path + ": " + message);
  }
  Statement probe(db_, "SELECT count(*) FROM place");
  if (!probe.s) {
    std::string message = sqlite3_errmsg(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot use geocode store " + path + ": " + message);
  }
}

GeocodeStore::~GeocodeStore() { sqlite3_close(db_); }

std::optional<StoredPlace> GeocodeStore::Find(const std::string& feedId) {
  std::lock_guard lock(mutex_);
  if (auto it = unsaved_.find(feedId); it != unsaved_.end()) return it->second;
  Statement q(db_, "SELECT how, latitude, longitude FROM place WHERE feed_id = ?");
  if (!q.s) return std::nullopt;
  sqlite3_bind_text(q.s, 1, feedId.data(), static_cast<int>(feedId.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(q.s) != SQLITE_ROW) return std::nullopt;
  int how = sqlite3_column_int(q.s, 0);
  if (how < 0 || how > static_cast<int>(GeocodeHow::Nowhere)) return std::nullopt;
  return StoredPlace{static_cast<GeocodeHow>(how),
                     {sqlite3_column_double(q.s, 1), sqlite3_column_double(q.s, 2)}};
}

bool GeocodeStore::Save(const std::string& feedId, const StoredPlace& place) {
  std::lock_guard lock(mutex_);
  if (!readOnly_) {
    Statement q(db_,
                "INSERT OR REPLACE INTO place (feed_id, how, latitude, longitude, saved_at)"
                " VALUES (?, ?, ?, ?, strftime('%s','now'))");
    if (q.s) {
      sqlite3_bind_text(q.s, 1, feedId.data(), static_cast<int>(feedId.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int(q.s, 2, static_cast<int>(place.how));
      sqlite3_bind_double(q.s, 3, place.at.latitude);
      sqlite3_bind_double(q.s, 4, place.at.longitude);
      if (sqlite3_step(q.s) == SQLITE_DONE) {
        unsaved_.erase(feedId);
        return true;
      }
    }
  }
  unsaved_[feedId] = place;
  return false;
}

std::size_t GeocodeStore::Count() {
  std::lock_guard lock(mutex_);
  Statement q(db_, "SELECT count(*) FROM place");
  if (!q.s || sqlite3_step(q.s) != SQLITE_ROW) return 0;
  return static_cast<std::size_t>(sqlite3_column_int64(q.s, 0));
}

}  // namespace corvella::gateway
