#include "gateway/geocode_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include "gateway/sqlite_statement.h"

namespace corvella::gateway {

GeocodeStore::GeocodeStore(const std::string& path, bool readOnly) : readOnly_(readOnly) {
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot open geocode store " + path + ": " + message);
  }
  sqlite3_busy_timeout(db_, 5000);
  auto fail = [&](const std::string& message) {
    const int code = sqlite3_errcode(db_) & 0xff;
    sqlite3_close_v2(db_);  // closed once the statements still open are finalized
    db_ = nullptr;
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) throw StoreDamaged("geocode store " + path + ": " + message);
    throw std::runtime_error("cannot use geocode store " + path + ": " + message);
  };
  {
    // Every page read once: a damaged file is found now, not by the first lookup that reaches it.
    Statement check(db_, "PRAGMA quick_check");
    if (!check.s) fail(sqlite3_errmsg(db_));
    const int step = sqlite3_step(check.s);
    if (step != SQLITE_ROW) fail(sqlite3_errmsg(db_));
    const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.s, 0));
    if (!verdict || std::string(verdict) != "ok") {
      std::string what = verdict ? std::string(verdict).substr(0, 200) : "?";  // its first findings, on one line
      std::replace(what.begin(), what.end(), '\n', ' ');
      sqlite3_close_v2(db_);
      db_ = nullptr;
      throw StoreDamaged("geocode store " + path + " is damaged: " + what);
    }
  }
  const char* schema =
      "CREATE TABLE IF NOT EXISTS place (feed_id TEXT PRIMARY KEY, how INTEGER NOT NULL,"
      " latitude REAL NOT NULL, longitude REAL NOT NULL, saved_at INTEGER NOT NULL)";
  if (!readOnly && !Exec(schema)) fail(sqlite3_errmsg(db_));
  if (!readOnly && !CreateBudgetTables()) fail(sqlite3_errmsg(db_));
  // A write that is undone: a store that cannot be written (the file, its folder) is found now.
  if (!readOnly && !(Exec("BEGIN") && Exec("CREATE TABLE write_probe (x)") && Exec("ROLLBACK"))) {
    std::string message = sqlite3_errmsg(db_);
    Exec("ROLLBACK");
    fail(message);
  }
  Statement probe(db_, "SELECT count(*) FROM place");
  if (!probe.s) fail(sqlite3_errmsg(db_));
}

std::unique_ptr<GeocodeStore> GeocodeStore::OpenAnyway(const std::string& path,
                                                       const std::function<void(const std::string&)>& log) {
  try {
    return std::make_unique<GeocodeStore>(path, false);
  } catch (const StoreDamaged& e) {
    const std::string aside = path + ".damaged-" + std::to_string(std::time(nullptr));
    if (std::rename(path.c_str(), aside.c_str()) == 0) {
      // Its journal goes with it: left behind, it would be played back into the new store.
      for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        std::rename((path + suffix).c_str(), (aside + suffix).c_str());
      }
      log(std::string("STORE DAMAGED: ") + e.what() + "; moved aside to " + aside + ", starting a new one");
      try {
        return std::make_unique<GeocodeStore>(path, false);
      } catch (const std::runtime_error& again) {
        log(again.what());
      }
    } else {
      log(std::string("STORE DAMAGED: ") + e.what() + "; cannot move it aside: " + std::strerror(errno));
    }
  } catch (const std::runtime_error& e) {
    try {
      auto store = std::make_unique<GeocodeStore>(path, true);  // a shipped, read-only store
      log(std::string("store is read-only (") + e.what() +
          "): new coordinates, spent calls and served places are kept in memory only until a restart");
      return store;
    } catch (const std::runtime_error& readOnly) {
      log(readOnly.what());
    }
  }
  log("STORE UNAVAILABLE: " + path + " cannot be used; everything is kept in memory only until a restart");
  return std::make_unique<GeocodeStore>(":memory:", false);
}

GeocodeStore::~GeocodeStore() { sqlite3_close(db_); }

bool GeocodeStore::Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

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

// What the forecast provider's budget has spent, and which places have been served.
namespace corvella::gateway {

bool GeocodeStore::CreateBudgetTables() {
  return Exec("CREATE TABLE IF NOT EXISTS spent_calls (gate TEXT NOT NULL, span_seconds INTEGER NOT NULL,"
              " start INTEGER NOT NULL, used INTEGER NOT NULL, PRIMARY KEY (gate, span_seconds))") &&
         Exec("CREATE TABLE IF NOT EXISTS served_place (feed_id TEXT PRIMARY KEY, served_at INTEGER NOT NULL)");
}

namespace {
constexpr std::array<int, 3> kSpans = {60, 3600, 86400};
}  // namespace

std::optional<CallBudget::Spent> GeocodeStore::LoadSpentCalls(const std::string& gate) {
  std::lock_guard lock(mutex_);
  Statement q(db_, "SELECT span_seconds, start, used FROM spent_calls WHERE gate = ?");
  if (!q.s) return std::nullopt;
  sqlite3_bind_text(q.s, 1, gate.data(), static_cast<int>(gate.size()), SQLITE_TRANSIENT);
  CallBudget::Spent spent;
  bool any = false;
  while (sqlite3_step(q.s) == SQLITE_ROW) {
    for (std::size_t i = 0; i < kSpans.size(); ++i) {
      if (sqlite3_column_int(q.s, 0) != kSpans[i]) continue;
      spent.start[i] = sqlite3_column_int64(q.s, 1);
      spent.used[i] = std::max<std::int64_t>(sqlite3_column_int64(q.s, 2), 0);
      any = true;
    }
  }
  return any ? std::optional(spent) : std::nullopt;
}

bool GeocodeStore::SaveSpentCalls(const std::string& gate, const CallBudget::Spent& spent) {
  std::lock_guard lock(mutex_);
  if (readOnly_) return false;
  Statement q(db_, "INSERT OR REPLACE INTO spent_calls (gate, span_seconds, start, used)"
                   " VALUES (?1, 60, ?2, ?3), (?1, 3600, ?4, ?5), (?1, 86400, ?6, ?7)");
  if (!q.s) return false;
  sqlite3_bind_text(q.s, 1, gate.data(), static_cast<int>(gate.size()), SQLITE_TRANSIENT);
  for (std::size_t i = 0; i < kSpans.size(); ++i) {
    sqlite3_bind_int64(q.s, static_cast<int>(2 + 2 * i), spent.start[i]);
    sqlite3_bind_int64(q.s, static_cast<int>(3 + 2 * i), spent.used[i]);
  }
  return sqlite3_step(q.s) == SQLITE_DONE;
}

std::vector<std::string> GeocodeStore::LoadServedPlaces(std::int64_t since) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> ids;
  Statement q(db_, "SELECT feed_id FROM served_place WHERE served_at >= ?");
  if (!q.s) return ids;
  sqlite3_bind_int64(q.s, 1, since);
  while (sqlite3_step(q.s) == SQLITE_ROW) {
    if (const auto* id = reinterpret_cast<const char*>(sqlite3_column_text(q.s, 0))) ids.emplace_back(id);
  }
  return ids;
}

bool GeocodeStore::SaveServedPlaces(const std::vector<std::string>& feedIds, std::int64_t at) {
  std::lock_guard lock(mutex_);
  if (readOnly_ || feedIds.empty()) return false;
  if (!Exec("BEGIN")) return false;
  Statement q(db_, "INSERT OR REPLACE INTO served_place (feed_id, served_at) VALUES (?, ?)");
  bool ok = q.s != nullptr;
  for (std::size_t i = 0; ok && i < feedIds.size(); ++i) {
    sqlite3_reset(q.s);
    sqlite3_bind_text(q.s, 1, feedIds[i].data(), static_cast<int>(feedIds[i].size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(q.s, 2, at);
    ok = sqlite3_step(q.s) == SQLITE_DONE;
  }
  return Exec(ok ? "COMMIT" : "ROLLBACK") && ok;
}

}  // namespace corvella::gateway
