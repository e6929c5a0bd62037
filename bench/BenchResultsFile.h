#pragma once

// A results file for the benchmarks, made from the build's schema (SORVANE_PHB_SCHEMA, which
// the including target defines): `records` records, each with the history row of its
// addition as the program writes it.

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace bench {

inline void makeResultsFile(const std::string& path, long records) {
  sqlite3* db = nullptr;
  const auto check = [&db](int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
      std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
      std::exit(1);
    }
  };
  std::ifstream in(SORVANE_PHB_SCHEMA);
  std::stringstream schema;
  schema << in.rdbuf();
  check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
        "create");
  check(sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, nullptr), "schema");
  check(sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr), "begin");
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db,
                           "INSERT INTO phb VALUES (date('2004-01-29', ?1 || ' days'), ?2, ?3, ?4)",
                           -1, &insert, nullptr),
        "prepare");
  for (long i = 0; i < records; ++i) {
    const std::string id = "S" + std::to_string(i % 100000000);
    sqlite3_bind_int64(insert, 1, i % 7000);
    sqlite3_bind_text(insert, 2, id.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 3, 2 + i % 20);
    sqlite3_bind_double(insert, 4, 6.0 + (i % 200) / 100.0);
    check(sqlite3_step(insert), "insert");
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  check(sqlite3_exec(db,
                     "INSERT INTO phb_history (record_id, action, changed_at, changed_by, "
                     "after_日期, after_标识符, after_样本数, after_pH均值) "
                     "SELECT rowid, 'added', '2024-05-06T14:03:12+08:00', 'bench', "
                     "日期, 标识符, 样本数, pH均值 FROM phb",
                     nullptr, nullptr, nullptr),
        "history");
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
  sqlite3_close(db);
}

}  // namespace bench
