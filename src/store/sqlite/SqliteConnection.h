#pragma once

// The store's only way to SQLite: a connection, its statements and its transactions. No
// SQLite type or call is seen outside these three file pairs; values reach SQL only as
// bound parameters.

#include <QString>
#include <cstdint>

struct sqlite3;

namespace sorvane::store {

// One connection to an existing file; never creates one.
class SqliteConnection {
 public:
  enum class Access { ReadWrite, ReadOnly };

  SqliteConnection() = default;
  // Throws StoreError: FileMissing, NotADatabase, Io.
  SqliteConnection(const QString& path, Access access);
  ~SqliteConnection();
  SqliteConnection(SqliteConnection&& other) noexcept;
  SqliteConnection& operator=(SqliteConnection&& other) noexcept;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  bool isOpen() const { return db_ != nullptr; }
  const QString& path() const { return path_; }
  void close();

  // Runs SQL that takes no values. Throws StoreError.
  void exec(const char* sql);
  // The row id of the last row this connection inserted.
  std::int64_t lastInsertRowId() const;
  // How many rows the last INSERT, UPDATE or DELETE of this connection changed.
  int changedRows() const;
  // True while a transaction is open on this connection.
  bool inTransaction() const;

 private:
  friend class SqliteStatement;
  friend class SqliteTransaction;
  // Throws the StoreError that an SQLite result code stands for.
  [[noreturn]] void fail(int resultCode) const;

  sqlite3* db_ = nullptr;
  QString path_;
};

}  // namespace sorvane::store
