// The record set behind the results window on phjz.mdb: a keyset of row ids in table order,
// read once at opening, with each row fetched only when its fields are asked for.
//
// Another program may change the file at any time. A save or delete first checks, inside
// its write transaction, that the stored row still holds exactly what was read, and writes
// nothing otherwise.

#include <QDate>
#include <array>
#include <memory>

#include "store/KeyedRecordSet.h"
#include "store/PhbFields.h"
#include "store/StoreFailures.h"
#include "store/sqlite/HistoryLog.h"
#include "store/sqlite/PhbFile.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"
#include "store/sqlite/SqliteTransaction.h"

namespace sorvane::store {

namespace {

using phb::kFieldCount;

class SqliteRecordSet final : public KeyedRecordSet {
 public:
  explicit SqliteRecordSet(const QString& path) : path_(path) {
    readOnly_ = fileIsReadOnly(path);
    db_ = std::make_unique<SqliteConnection>(openPhbFile(path, readOnly_));
    fetch_ = std::make_unique<SqliteStatement>(
        *db_, "SELECT 日期, 标识符, 样本数, pH均值 FROM phb WHERE rowid = ?1");
    {
      SqliteStatement keys(*db_, "SELECT rowid FROM phb ORDER BY rowid");
      while (keys.step()) keys_.append(keys.columnInt64(0));
    }
    freshIds_ = hasLastRowId(*db_);
    startAtFirst();
  }

  ~SqliteRecordSet() override { close(); }

 private:
  bool backendOpen() const override { return db_ != nullptr; }

  void closeBackend() override {
    fetch_.reset();
    db_.reset();
  }

  StoreError readOnlyError() const override { return failures::readOnly(path_); }

  Read fetch(Bookmark row) const override {
    Read read;
    read.row = row;
    fetch_->bindInt64(1, row);
    read.found = fetch_->step();
    for (int i = 0; read.found && i < kFieldCount; ++i) {
      read.stored[i] = fetch_->storedValue(i);
      read.values[i] = columnValue(*fetch_, i, i);
    }
    // Reset at once so no read lock outlives the fetch and blocks another program's save.
    fetch_->reset();
    return read;
  }

  // Inside a write transaction: the stored row is still the one read, field for field, in
  // type and value. Throws Conflict otherwise, before anything is written.
  void requireUnchanged(const Read& original) const {
    const Read now = fetch(original.row);
    if (!now.found) throw failures::deletedElsewhere(lastChange(*db_, original.row));
    for (int i = 0; i < kFieldCount; ++i)
      if (now.stored[i].typeId() != original.stored[i].typeId() ||
          now.stored[i] != original.stored[i])
        throw failures::changedElsewhere(lastChange(*db_, original.row));
  }

  // A write counts only when it changed exactly one row.
  void requireOneRowChanged() const {
    if (db_->changedRows() != 1) throw failures::writeNotConfirmed(path_);
  }

  Bookmark insertRow(const Changes& values) override {
    // In a file that keeps row ids, the new row takes the id above every id phb ever held.
    const char* sql =
        freshIds_ ? "INSERT INTO phb (rowid, 日期, 标识符, 样本数, pH均值) VALUES ("
                    "(SELECT max(coalesce((SELECT max(id) FROM phb_last_id), 0),"
                    " coalesce((SELECT max(rowid) FROM phb), 0)) + 1), ?1, ?2, ?3, ?4)"
                  : "INSERT INTO phb (日期, 标识符, 样本数, pH均值) VALUES (?1, ?2, ?3, ?4)";
    SqliteTransaction transaction(*db_, SqliteTransaction::Behaviour::Immediate);
    SqliteStatement statement(*db_, sql);
    for (int i = 0; i < kFieldCount; ++i) statement.bind(i + 1, values[i].value_or(QVariant()));
    statement.step();
    requireOneRowChanged();
    const Bookmark row = db_->lastInsertRowId();
    HistoryLog history(*db_);
    history.record(HistoryAction::Added, row, std::nullopt, history.stored(row));
    transaction.commit();
    return row;
  }

  void changeRow(const Read& original, const Changes& values) override {
    // Only the fields given a text are named; the names are the program's own.
    QByteArray sql = "UPDATE phb SET ";
    for (int i = 0; i < kFieldCount; ++i)
      if (values[i])
        sql += phb::fieldNames()[i].toUtf8() + " = ?" + QByteArray::number(i + 1) + ", ";
    sql.chop(2);
    sql += " WHERE rowid = ?" + QByteArray::number(kFieldCount + 1);

    SqliteTransaction transaction(*db_, SqliteTransaction::Behaviour::Immediate);
    requireUnchanged(original);
    HistoryLog history(*db_);
    const std::optional<RecordValues> before = history.stored(original.row);
    SqliteStatement statement(*db_, sql.constData());
    for (int i = 0; i < kFieldCount; ++i)
      if (values[i]) statement.bind(i + 1, *values[i]);
    statement.bindInt64(kFieldCount + 1, original.row);
    statement.step();
    requireOneRowChanged();
    history.record(HistoryAction::Changed, original.row, before, history.stored(original.row));
    transaction.commit();
  }

  void deleteRow(const Read& original) override {
    SqliteTransaction transaction(*db_, SqliteTransaction::Behaviour::Immediate);
    requireUnchanged(original);
    HistoryLog history(*db_);
    const std::optional<RecordValues> before = history.stored(original.row);
    SqliteStatement erase(*db_, "DELETE FROM phb WHERE rowid = ?1");
    erase.bindInt64(1, original.row);
    erase.step();
    requireOneRowChanged();
    history.record(HistoryAction::Deleted, original.row, before, std::nullopt);
    transaction.commit();
  }

  QString path_;
  std::unique_ptr<SqliteConnection> db_;
  std::unique_ptr<SqliteStatement> fetch_;
  bool freshIds_ = false;  // the file has phb_last_id
};

}  // namespace

std::unique_ptr<RecordSet> RecordSet::open(const QString& path) {
  return std::make_unique<SqliteRecordSet>(path);
}

}  // namespace sorvane::store
