#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>

struct sqlite3_stmt;

namespace sorvane::store {

class SqliteConnection;

// One prepared statement on a connection that outlives it.
class SqliteStatement {
 public:
  enum class ColumnType { Integer, Float, Text, Blob, Null };

  // Throws StoreError when the SQL does not compile against the file.
  SqliteStatement(const SqliteConnection& connection, const char* sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters count from 1. An invalid QVariant binds NULL, a QDate its ISO text, a double
  // a real, anything else its text.
  void bind(int index, const QVariant& value);
  void bindInt64(int index, std::int64_t value);

  // True while a row is ready, false when done. Throws StoreError.
  bool step();
  // Ends the statement's current run, so it holds no lock between uses; bindings stay.
  void reset();
  // Sets every parameter back to NULL.
  void clearBindings();

  // The current row's columns, counted from 0.
  ColumnType columnType(int column) const;
  std::int64_t columnInt64(int column) const;
  double columnDouble(int column) const;
  QString columnText(int column) const;
  // The column's value exactly as stored: a qint64, a double, a QString, a QByteArray for a
  // blob, or an invalid QVariant for NULL. Two such values are the same only when their types
  // and values are.
  QVariant storedValue(int column) const;

 private:
  const SqliteConnection& connection_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace sorvane::store
