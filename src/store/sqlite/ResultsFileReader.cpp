#include "store/sqlite/ResultsFileReader.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <optional>

#include "store/FieldText.h"
#include "store/PhbFields.h"
#include "store/StoreFailures.h"
#include "store/sqlite/PhbFile.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store {

namespace {

using Type = SqliteStatement::ColumnType;

qint64 single(const SqliteConnection& db, const char* sql) {
  SqliteStatement query(db, sql);
  return query.step() ? query.columnInt64(0) : 0;
}

bool hasTable(const SqliteConnection& db, const char* name) {
  SqliteStatement query(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
  query.bind(1, QString::fromUtf8(name));
  return query.step();
}

// The value of column `column`, holding field `field`, exactly as the server would hold it;
// otherwise why not. The server's own checks are the same as the file's today; an older
// file, or another program, may hold what they refuse.
QVariant exactValue(const SqliteStatement& row, int column, int field, QString* why) {
  const QString name = phb::fieldNames()[field];
  const QVariant stored = row.storedValue(column);
  if (!stored.isValid()) return {};
  const auto refuse = [&](const QString& what) {
    *why = QStringLiteral("字段“%1”中是%2").arg(name, what);
    return QVariant();
  };
  if (row.columnType(column) == Type::Blob) return refuse(QStringLiteral("二进制数据"));
  switch (fieldtext::fieldType(field)) {
    case fieldtext::FieldType::Date: {
      const QString text = stored.toString();
      const std::optional<QDate> date = fieldtext::storedDate(text);
      if (row.columnType(column) != Type::Text || !date || date->year() < 100)
        return refuse(QStringLiteral("文本“%1”，不是日期").arg(text));
      return *date;
    }
    case fieldtext::FieldType::Text: {
      const QString text = stored.toString();
      if (text.contains(QChar(0))) return refuse(QStringLiteral("空字符 (NUL)"));
      if (text.toUcs4().size() > phb::kIdentifierLimit)
        return refuse(QStringLiteral("超过 %1 个字符的文本").arg(phb::kIdentifierLimit));
      return text;
    }
    case fieldtext::FieldType::Number: {
      if (row.columnType(column) == Type::Text)
        return refuse(QStringLiteral("文本“%1”，不是数字").arg(stored.toString()));
      if (row.columnType(column) == Type::Integer) {
        const qint64 whole = stored.toLongLong();
        const double number = double(whole);
        // Beyond 2^53 a double no longer holds every whole number.
        if (std::fabs(number) >= 9007199254740992.0)
          return refuse(QStringLiteral("整数 %1，不能原样作为小数保存").arg(whole));
        return number;
      }
      const double number = stored.toDouble();
      if (!std::isfinite(number)) return refuse(QStringLiteral("非有限数"));
      return number;
    }
  }
  return {};
}

}  // namespace

struct ResultsFileReader::Impl {
  QString path;
  SqliteConnection db;
  bool hasHistory = false;
  std::unique_ptr<SqliteStatement> records;
  std::unique_ptr<SqliteStatement> history;
  qint64 position = 0;
};

ResultsFileReader::ResultsFileReader(const QString& path, const QString& shownPath)
    : d_(std::make_unique<Impl>()) {
  d_->path = shownPath.isEmpty() ? path : shownPath;
  d_->db = openPhbFile(path, true);
  const int format = int(single(d_->db, "PRAGMA user_version"));
  if (format > kCurrentFormat) throw failures::moveNewerFormat(d_->path, format);
  // One read transaction: the counts, the marks and the rows are one state of the file.
  d_->db.exec("BEGIN");
  d_->hasHistory = hasTable(d_->db, "phb_history");
  d_->records = std::make_unique<SqliteStatement>(
      d_->db, "SELECT rowid, 日期, 标识符, 样本数, pH均值 FROM phb ORDER BY rowid");
  if (d_->hasHistory)
    d_->history = std::make_unique<SqliteStatement>(
        d_->db,
        "SELECT id, record_id, action, changed_at, changed_by, "
        "before_日期, before_标识符, before_样本数, before_pH均值, "
        "after_日期, after_标识符, after_样本数, after_pH均值 FROM phb_history ORDER BY id");
}

ResultsFileReader::~ResultsFileReader() = default;

qint64 ResultsFileReader::recordCount() const { return single(d_->db, "SELECT count(*) FROM phb"); }

qint64 ResultsFileReader::historyCount() const {
  return d_->hasHistory ? single(d_->db, "SELECT count(*) FROM phb_history") : 0;
}

Bookmark ResultsFileReader::highestIdUsed() const {
  Bookmark highest = single(d_->db, "SELECT coalesce(max(rowid), 0) FROM phb");
  if (hasLastRowId(d_->db))
    highest =
        std::max<Bookmark>(highest, single(d_->db, "SELECT coalesce(max(id), 0) FROM phb_last_id"));
  if (d_->hasHistory)
    highest = std::max<Bookmark>(
        highest, single(d_->db, "SELECT coalesce(max(record_id), 0) FROM phb_history"));
  return highest;
}

qint64 ResultsFileReader::highestHistoryId() const {
  return d_->hasHistory ? single(d_->db, "SELECT coalesce(max(id), 0) FROM phb_history") : 0;
}

bool ResultsFileReader::nextRecord(Bookmark& id, RecordValues& values) {
  SqliteStatement& row = *d_->records;
  if (!row.step()) return false;
  ++d_->position;
  id = row.columnInt64(0);
  QString why;
  for (int i = 0; i < phb::kFieldCount && why.isEmpty(); ++i)
    values[i] = exactValue(row, 1 + i, i, &why);
  if (!why.isEmpty()) {
    std::optional<QString> identifier;
    if (row.columnType(1 + phb::Identifier) == Type::Text)
      identifier = row.columnText(1 + phb::Identifier);
    throw failures::moveRefusedRecord(d_->path, d_->position, identifier, why);
  }
  return true;
}

bool ResultsFileReader::nextHistoryRow(StoredHistoryRow& out) {
  if (!d_->history || !d_->history->step()) return false;
  const SqliteStatement& row = *d_->history;
  out.id = row.columnInt64(0);
  const auto refuse = [&](const QString& why) {
    return failures::moveRefusedHistory(d_->path, out.id, why);
  };
  if (row.columnType(1) != Type::Integer) throw refuse(QStringLiteral("记录编号不是整数"));
  out.recordId = row.columnInt64(1);
  out.action = row.columnText(2);
  if (!actionFromCode(out.action)) throw refuse(QStringLiteral("未知的动作“%1”").arg(out.action));
  const QString at = row.columnText(3);
  const std::optional<QDateTime> instant = instantFromIso(at);
  // Without an offset the instant is unknown.
  if (!instant) throw refuse(QStringLiteral("时间“%1”不是带时区偏移的时间").arg(at));
  out.changedAt = *instant;
  out.changedBy = row.columnText(4);
  if (out.changedBy.contains(QChar(0))) throw refuse(QStringLiteral("登录名中有空字符 (NUL)"));
  QString why;
  for (int i = 0; i < phb::kFieldCount && why.isEmpty(); ++i) {
    out.before[i] = exactValue(row, 5 + i, i, &why);
    if (why.isEmpty()) out.after[i] = exactValue(row, 5 + phb::kFieldCount + i, i, &why);
  }
  if (!why.isEmpty()) throw refuse(why);
  return true;
}

}  // namespace sorvane::store
