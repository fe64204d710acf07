// A prepared SQLite statement, finalized when it goes. Empty (`s` null, false) when there is no
// database or it would not prepare the text: every use checks that first.
#pragma once

#include <sqlite3.h>

namespace corvella::gateway {

struct Statement {
  sqlite3_stmt* s = nullptr;
  Statement(sqlite3* db, const char* sql) {
    if (db == nullptr || sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) s = nullptr;
  }
  ~Statement() { sqlite3_finalize(s); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return s; }
  explicit operator bool() const { return s != nullptr; }
};

}  // namespace corvella::gateway
