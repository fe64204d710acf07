#include "gateway/rate_series_store.h"

#include <sqlite3.h>

#include "gateway/sqlite_statement.h"

namespace corvella::gateway {

namespace {

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void BindId(sqlite3_stmt* s, const std::string& id) {
  sqlite3_bind_text(s, 1, id.data(), static_cast<int>(id.size()), SQLITE_TRANSIENT);
}

}  // namespace

RateSeriesStore::RateSeriesStore(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK ||
      sqlite3_busy_timeout(db_, 5000) != SQLITE_OK ||
      !Exec(db_,
            "CREATE TABLE IF NOT EXISTS rate_series (valute TEXT PRIMARY KEY, fetched_day INTEGER NOT NULL);"
            "CREATE TABLE IF NOT EXISTS rate_record (valute TEXT NOT NULL, day INTEGER NOT NULL,"
            " nominal INTEGER NOT NULL, value INTEGER NOT NULL, PRIMARY KEY (valute, day))")) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

RateSeriesStore::~RateSeriesStore() { sqlite3_close(db_); }

std::optional<StoredSeries> RateSeriesStore::Find(const std::string& id) {
  Statement head(db_, "SELECT fetched_day FROM rate_series WHERE valute = ?");
  if (!head) return std::nullopt;
  BindId(head.get(), id);
  if (sqlite3_step(head.get()) != SQLITE_ROW) return std::nullopt;
  StoredSeries series;
  series.fetchedDay = sqlite3_column_int64(head.get(), 0);
  Statement rows(db_, "SELECT day, nominal, value FROM rate_record WHERE valute = ? ORDER BY day");
  if (!rows) return std::nullopt;
  BindId(rows.get(), id);
  int rc;
  while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
    const BankRecord r{sqlite3_column_int64(rows.get(), 0), sqlite3_column_int64(rows.get(), 1),
                       sqlite3_column_int64(rows.get(), 2)};
    if (r.nominal < 1 || r.value <= 0) return std::nullopt;  // not what Save wrote: ask the bank again
    series.records.push_back(r);
  }
  if (rc != SQLITE_DONE) return std::nullopt;
  return series;
}

bool RateSeriesStore::Save(const std::string& id, const StoredSeries& series) {
  if (!db_ || !Exec(db_, "BEGIN IMMEDIATE")) return false;
  bool ok = true;
  Statement clear(db_, "DELETE FROM rate_record WHERE valute = ?");
  Statement head(db_, "INSERT OR REPLACE INTO rate_series (valute, fetched_day) VALUES (?, ?)");
  Statement row(db_, "INSERT OR REPLACE INTO rate_record (valute, day, nominal, value) VALUES (?, ?, ?, ?)");
  ok = clear && head && row;
  if (ok) {
    BindId(clear.get(), id);
    BindId(head.get(), id);
    sqlite3_bind_int64(head.get(), 2, series.fetchedDay);
    ok = sqlite3_step(clear.get()) == SQLITE_DONE && sqlite3_step(head.get()) == SQLITE_DONE;
  }
  for (const BankRecord& r : series.records) {
    if (!ok) break;
    sqlite3_reset(row.get());
    BindId(row.get(), id);
    sqlite3_bind_int64(row.get(), 2, r.day);
    sqlite3_bind_int64(row.get(), 3, r.nominal);
    sqlite3_bind_int64(row.get(), 4, r.value);
    ok = sqlite3_step(row.get()) == SQLITE_DONE;
  }
  return Exec(db_, ok ? "COMMIT" : "ROLLBACK") && ok;
}

}  // namespace corvella::gateway
