#include "store/sqlite/PhbFile.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include "store/FieldText.h"
#include "store/PhbFields.h"
#include "store/StoreFailures.h"

namespace sorvane::store {

namespace {

void checkHeader(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) throw failures::fileMissing(path);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw failures::fileUnreadable(path);
  const QByteArray head = file.read(100);
  // Access files carry their engine's name at offset 4.
  const QByteArray engine = head.mid(4, 15);
  if (engine == "Standard Jet DB" || engine == "Standard ACE DB") throw failures::jetDatabase(path);
  if (head.size() < 100 || !head.startsWith(QByteArrayLiteral("SQLite format 3\0")))
    throw failures::notADatabase(path);
}

void checkTable(const SqliteConnection& db) {
  SqliteStatement table(db, "SELECT type FROM sqlite_master WHERE name = 'phb' COLLATE NOCASE");
  if (!table.step() || table.columnText(0) != QStringLiteral("table"))
    throw failures::tableMissing();
  table.reset();

  QStringList columns;
  SqliteStatement info(db, "SELECT name FROM pragma_table_info('phb')");
  while (info.step()) columns << info.columnText(0);
  info.reset();
  for (const QString& field : phb::fieldNames())
    if (!columns.contains(field, Qt::CaseInsensitive)) throw failures::fieldMissing(field);
}

}  // namespace

bool fileIsReadOnly(const QString& path) {
  const QFileInfo info(path);
  if (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)) return true;
  return !QFileInfo(info.absolutePath()).isWritable();
}

SqliteConnection openPhbFile(const QString& path, bool readOnly) {
  checkHeader(path);
  SqliteConnection db(
      path, readOnly ? SqliteConnection::Access::ReadOnly : SqliteConnection::Access::ReadWrite);
  checkTable(db);
  return db;
}

bool hasLastRowId(const SqliteConnection& db) {
  SqliteStatement table(
      db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'phb_last_id'");
  return table.step();
}

QVariant columnValue(const SqliteStatement& statement, int column, int field) {
  using Type = SqliteStatement::ColumnType;
  const Type type = statement.columnType(column);
  if (type == Type::Null) return {};
  switch (fieldtext::fieldType(field)) {
    case fieldtext::FieldType::Date: {
      const QString text = statement.columnText(column);
      const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
      if (date.isValid()) return date;
      return text;  // not written by this program; shown as it is
    }
    case fieldtext::FieldType::Text:
      return statement.columnText(column);
    case fieldtext::FieldType::Number:
      if (type == Type::Integer || type == Type::Float) return statement.columnDouble(column);
      const QString text = statement.columnText(column);
      if (const auto number = fieldtext::textToNumber(text)) return *number;
      return text;
  }
  return {};
}

}  // namespace sorvane::store
