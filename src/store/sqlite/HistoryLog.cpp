#include "store/sqlite/HistoryLog.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include "store/sqlite/PhbFile.h"
#include "store/sqlite/PhbTemplate.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store {

namespace {

constexpr const char* kFetch = "SELECT 日期, 标识符, 样本数, pH均值 FROM phb WHERE rowid = ?1";

bool hasHistoryTable(const SqliteConnection& db) {
  SqliteStatement table(
      db,
      "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'phb_history' COLLATE NOCASE");
  const bool found = table.step();
  table.reset();
  return found;
}

QString systemLoginName() {
#ifdef _WIN32
  wchar_t name[257];
  DWORD size = 257;
  if (GetUserNameW(name, &size) && size > 1) return QString::fromWCharArray(name, size - 1);
  return QString::fromLocal8Bit(qgetenv("USERNAME"));
#else
  // The effective user's entry, not $USER, which anyone can set; getlogin() needs a terminal.
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name && *entry->pw_name)
    return QString::fromLocal8Bit(entry->pw_name);
  if (const char* login = getlogin(); login && *login) return QString::fromLocal8Bit(login);
  // A user without a name is still told apart by number.
  return QStringLiteral("uid %1").arg(geteuid());
#endif
}

}  // namespace

HistoryLog::HistoryLog(SqliteConnection& db) : db_(db) {
  // Outside a transaction the row would be committed apart from its change.
  if (!db_.inTransaction()) throw std::logic_error("HistoryLog needs an open write transaction");
  fetch_ = std::make_unique<SqliteStatement>(db_, kFetch);
}

HistoryLog::~HistoryLog() = default;

std::optional<RecordValues> HistoryLog::stored(Bookmark id) {
  fetch_->bindInt64(1, id);
  if (!fetch_->step()) {
    fetch_->reset();
    return std::nullopt;
  }
  RecordValues values;
  for (int i = 0; i < phb::kFieldCount; ++i) values[i] = columnValue(*fetch_, i, i);
  fetch_->reset();
  return values;
}

void HistoryLog::prepareToWrite() {
  if (insert_) return;
  // Only now: a format 1 or 2 file gains the table with its first real change.
  if (!hasHistoryTable(db_)) {
    const QByteArray schema = historySql();
    if (schema.isEmpty()) throw std::logic_error("the program lacks its database template");
    db_.exec(schema.constData());
  }
  insert_ = std::make_unique<SqliteStatement>(
      db_,
      "INSERT INTO phb_history (record_id, action, changed_at, changed_by, "
      "before_日期, before_标识符, before_样本数, before_pH均值, "
      "after_日期, after_标识符, after_样本数, after_pH均值) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
  changedAt_ = isoWithOffset(QDateTime::currentDateTime());
  changedBy_ = systemLoginName();
}

void HistoryLog::convertedAll() {
  prepareToWrite();
  SqliteStatement all(db_,
                      "INSERT INTO phb_history (record_id, action, changed_at, changed_by, "
                      "after_日期, after_标识符, after_样本数, after_pH均值) "
                      "SELECT rowid, ?1, ?2, ?3, 日期, 标识符, 样本数, pH均值 FROM phb "
                      "ORDER BY rowid");
  all.bind(1, actionCode(HistoryAction::Converted));
  all.bind(2, changedAt_);
  all.bind(3, changedBy_);
  all.step();
}

void HistoryLog::record(HistoryAction action, Bookmark id,
                        const std::optional<RecordValues>& before,
                        const std::optional<RecordValues>& after) {
  if (!before && !after) return;
  if (before && after && *before == *after) return;
  prepareToWrite();
  insert_->clearBindings();
  insert_->bindInt64(1, id);
  insert_->bind(2, actionCode(action));
  insert_->bind(3, changedAt_);
  insert_->bind(4, changedBy_);
  for (int i = 0; i < phb::kFieldCount; ++i) {
    if (before) insert_->bind(5 + i, (*before)[i]);
    if (after) insert_->bind(5 + phb::kFieldCount + i, (*after)[i]);
  }
  insert_->step();
  insert_->reset();
}

std::optional<failures::LastChange> lastChange(const SqliteConnection& db, Bookmark id) {
  if (!hasHistoryTable(db)) return std::nullopt;
  SqliteStatement query(
      db,
      "SELECT h.changed_by, h.changed_at FROM phb_history h"
      " WHERE h.id = (SELECT max(id) FROM phb_history WHERE record_id = ?1) AND CASE"
      " WHEN h.action = 'deleted' THEN NOT EXISTS (SELECT 1 FROM phb WHERE rowid = ?1)"
      " ELSE EXISTS (SELECT 1 FROM phb p WHERE p.rowid = ?1 AND p.日期 IS h.after_日期"
      " AND p.标识符 IS h.after_标识符 AND p.样本数 IS h.after_样本数"
      " AND p.pH均值 IS h.after_pH均值) END");
  query.bindInt64(1, id);
  if (!query.step()) return std::nullopt;
  const QDateTime at = QDateTime::fromString(query.columnText(1), Qt::ISODate);
  if (!at.isValid()) return std::nullopt;
  return failures::LastChange{query.columnText(0), at};
}

std::vector<HistoryEntry> readHistory(const QString& path, Bookmark id) {
  const SqliteConnection db = openPhbFile(path, true);
  std::vector<HistoryEntry> entries;
  if (!hasHistoryTable(db)) return entries;
  SqliteStatement query(db,
                        "SELECT record_id, action, changed_at, changed_by, "
                        "before_日期, before_标识符, before_样本数, before_pH均值, "
                        "after_日期, after_标识符, after_样本数, after_pH均值 "
                        "FROM phb_history WHERE record_id = ?1 ORDER BY id");
  query.bindInt64(1, id);
  while (query.step()) {
    HistoryEntry entry;
    entry.recordId = query.columnInt64(0);
    // A row another program wrote with an unknown action still shows, as a change.
    entry.action = actionFromCode(query.columnText(1)).value_or(HistoryAction::Changed);
    entry.changedAt = query.columnText(2);
    entry.changedBy = query.columnText(3);
    const auto values = [&query](int first) {
      RecordValues values;
      for (int i = 0; i < phb::kFieldCount; ++i) values[i] = columnValue(query, first + i, i);
      return values;
    };
    if (entry.action != HistoryAction::Added && entry.action != HistoryAction::Converted)
      entry.before = values(4);
    if (entry.action != HistoryAction::Deleted) entry.after = values(4 + phb::kFieldCount);
    entries.push_back(std::move(entry));
  }
  query.reset();
  return entries;
}

}  // namespace sorvane::store
