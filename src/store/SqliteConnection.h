#pragma once

// Thin owners of SQLite handles. Values only ever reach SQL as bound parameters.

#include <sqlite3.h>

#include <QString>
#include <QVariant>
#include <cstdint>

namespace sorvane::store {

// One connection to an existing file; never creates one.
class SqliteConnection {
 public:
  SqliteConnection() = default;
  // Opens path read-write, or read-only when asked. Throws StoreError.
  SqliteConnection(const QString& path, bool readOnly);
  ~SqliteConnection();
  SqliteConnection(SqliteConnection&& other) noexcept;
  SqliteConnection& operator=(SqliteConnection&& other) noexcept;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  bool isOpen() const { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }
  const QString& path() const { return path_; }
  void close();

  // Runs SQL that takes no values. Throws StoreError.
  void exec(const char* sql);
  // Throws the StoreError that an SQLite result code stands for.
  [[noreturn]] void fail(int rc) const;

 private:
  sqlite3* db_ = nullptr;
  QString path_;
};

class SqliteStatement {
 public:
  SqliteStatement(const SqliteConnection& connection, const char* sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters count from 1. A null QVariant binds NULL; QDate, QString, double as such.
  void bind(int index, const QVariant& value);
  void bindInt64(int index, std::int64_t value);
  // True while a row is ready, false when done. Throws StoreError.
  bool step();
  // Ends the statement's read so it holds no lock between uses.
  void reset();

  sqlite3_stmt* handle() const { return stmt_; }
  std::int64_t columnInt64(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  const SqliteConnection& connection_;
  sqlite3_stmt* stmt_ = nullptr;
};

// A write transaction taken at once (so a busy file fails before anything changes);
// rolled back unless committed.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteConnection& connection);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;
  void commit();

 private:
  SqliteConnection& connection_;
  bool open_ = false;
};

}  // namespace sorvane::store
