#include "store/sqlite/SqliteStatement.h"

#include <sqlite3.h>

#include <QDate>
#include <utility>

#include "store/StoreFailures.h"
#include "store/sqlite/SqliteConnection.h"

namespace sorvane::store {

SqliteStatement::SqliteStatement(const SqliteConnection& connection, const char* sql)
    : connection_(connection) {
  if (!connection.isOpen()) throw failures::notOpen();
  const int rc =
      sqlite3_prepare_v3(connection.db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(std::exchange(stmt_, nullptr));
    connection.fail(sqlite3_extended_errcode(connection.db_));
  }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

void SqliteStatement::bind(int index, const QVariant& value) {
  int rc = SQLITE_OK;
  if (!value.isValid()) {
    rc = sqlite3_bind_null(stmt_, index);
  } else if (value.typeId() == QMetaType::QDate) {
    const QByteArray iso = value.toDate().toString(Qt::ISODate).toUtf8();
    rc = sqlite3_bind_text(stmt_, index, iso.constData(), iso.size(), SQLITE_TRANSIENT);
  } else if (value.typeId() == QMetaType::Double) {
    rc = sqlite3_bind_double(stmt_, index, value.toDouble());
  } else {
    const QByteArray text = value.toString().toUtf8();
    rc = sqlite3_bind_text(stmt_, index, text.constData(), text.size(), SQLITE_TRANSIENT);
  }
  if (rc != SQLITE_OK) connection_.fail(rc);
}

void SqliteStatement::bindInt64(int index, std::int64_t value) {
  const int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) connection_.fail(rc);
}

bool SqliteStatement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const int code = sqlite3_extended_errcode(connection_.db_);
  sqlite3_reset(stmt_);
  connection_.fail(code);
}

void SqliteStatement::reset() { sqlite3_reset(stmt_); }

void SqliteStatement::clearBindings() { sqlite3_clear_bindings(stmt_); }

SqliteStatement::ColumnType SqliteStatement::columnType(int column) const {
  switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
      return ColumnType::Integer;
    case SQLITE_FLOAT:
      return ColumnType::Float;
    case SQLITE_TEXT:
      return ColumnType::Text;
    case SQLITE_BLOB:
      return ColumnType::Blob;
    default:
      return ColumnType::Null;
  }
}

std::int64_t SqliteStatement::columnInt64(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

double SqliteStatement::columnDouble(int column) const {
  return sqlite3_column_double(stmt_, column);
}

QString SqliteStatement::columnText(int column) const {
  // The text first, then its length: asking for the text may convert the value.
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column));
}

QVariant SqliteStatement::storedValue(int column) const {
  switch (columnType(column)) {
    case ColumnType::Integer:
      return QVariant::fromValue<qint64>(columnInt64(column));
    case ColumnType::Float:
      return columnDouble(column);
    case ColumnType::Text:
      return columnText(column);
    case ColumnType::Blob: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
      return QByteArray(bytes, sqlite3_column_bytes(stmt_, column));
    }
    case ColumnType::Null:
      break;
  }
  return {};
}

}  // namespace sorvane::store
