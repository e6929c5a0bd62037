// The record set behind the results window: a keyset of row ids in table order, read once
// at opening, with each row fetched only when its fields are asked for.
//
// Another program may change the file at any time. What was read of the current record is
// kept until the record set moves; a save or delete first checks, inside its write
// transaction, that the stored row still holds exactly that, and writes nothing otherwise.

#include <QDate>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "store/FieldText.h"
#include "store/PhbFields.h"
#include "store/RecordSet.h"
#include "store/StoreFailures.h"
#include "store/sqlite/HistoryLog.h"
#include "store/sqlite/PhbFile.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"
#include "store/sqlite/SqliteTransaction.h"

namespace sorvane::store {

namespace {

using phb::kFieldCount;

class SqliteRecordSet final : public RecordSet {
 public:
  explicit SqliteRecordSet(const QString& path)
      : path_(path),
        readOnly_(fileIsReadOnly(path)),
        db_(std::make_unique<SqliteConnection>(openPhbFile(path, readOnly_))) {
    fetch_ = std::make_unique<SqliteStatement>(
        *db_, "SELECT 日期, 标识符, 样本数, pH均值 FROM phb WHERE rowid = ?1");
    {
      SqliteStatement keys(*db_, "SELECT rowid FROM phb ORDER BY rowid");
      while (keys.step()) keys_.push_back(keys.columnInt64(0));
    }
    freshIds_ = hasLastRowId(*db_);
    pos_ = keys_.empty() ? -1 : 0;
  }

  ~SqliteRecordSet() override { close(); }

  bool isOpen() const override { return db_ != nullptr; }

  void close() override {
    fetch_.reset();
    db_.reset();
    keys_ = {};
    pos_ = -1;
    deleted_ = false;
    cancelUpdate();
    lastModified_.reset();
    read_.reset();
  }

  bool isReadOnly() const override { return readOnly_; }

  // As with the old engine, an empty set is both before its start and past its end, and a
  // deleted current record leaves neither set until the next move.
  bool bof() const override {
    requireOpen();
    return !deleted_ && (pos_ < 0 || keys_.empty());
  }
  bool eof() const override {
    requireOpen();
    return !deleted_ && (pos_ >= count() || keys_.empty());
  }

  void moveFirst() override { moveTo(0); }
  void moveLast() override { moveTo(count() - 1); }

  void moveNext() override {
    requireOpen();
    if (eof()) throw failures::noCurrentRecord();
    cancelUpdate();
    // After a delete the slot already holds the record that followed.
    if (!deleted_) ++pos_;
    deleted_ = false;
    read_.reset();
  }

  void movePrevious() override {
    requireOpen();
    if (bof()) throw failures::noCurrentRecord();
    cancelUpdate();
    --pos_;
    deleted_ = false;
    read_.reset();
  }

  long absolutePosition() const override {
    requireOpen();
    return current() ? pos_ : -1;
  }

  long recordCount() const override {
    requireOpen();
    return count();
  }

  std::optional<Bookmark> bookmark() const override {
    requireOpen();
    return current();
  }

  void setBookmark(Bookmark bookmark) override {
    requireOpen();
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), bookmark);
    if (it == keys_.end() || *it != bookmark) throw failures::invalidBookmark();
    cancelUpdate();
    pos_ = static_cast<long>(it - keys_.begin());
    deleted_ = false;
    read_.reset();
  }

  std::optional<Bookmark> lastModified() const override {
    requireOpen();
    return lastModified_;
  }

  QVariant field(const QString& name) const override {
    requireOpen();
    const int index = indexOf(name);
    if (mode_ != EditMode::None && pending_[index]) return *pending_[index];
    if (mode_ == EditMode::Add) return {};
    return storedRow(requireCurrent())[index];
  }

  QString fieldText(const QString& name) const override {
    requireOpen();
    const int index = indexOf(name);
    if (mode_ != EditMode::None && pending_[index]) return *pending_[index];
    if (mode_ == EditMode::Add) return {};
    return fieldtext::textFromValue(storedRow(requireCurrent())[index]);
  }

  EditMode editMode() const override { return mode_; }

  void addNew() override {
    requireOpen();
    cancelUpdate();
    mode_ = EditMode::Add;
  }

  void edit() override {
    requireOpen();
    const Bookmark row = requireCurrent();
    storedRow(row);  // what the save will check the stored row against, unless read already
    cancelUpdate();
    mode_ = EditMode::Edit;
    editing_ = row;
  }

  void setFieldText(const QString& name, const QString& text) override {
    requireOpen();
    const int index = indexOf(name);
    if (mode_ == EditMode::None) throw failures::notEditing();
    pending_[index] = text;
  }

  void update() override {
    requireOpen();
    if (mode_ == EditMode::None) throw failures::notEditing();

    // Every text is converted before anything is written, so a refused one changes nothing.
    // Only the fields given a text are written; a new record's others stay empty.
    std::array<std::optional<QVariant>, kFieldCount> values;
    for (int i = 0; i < kFieldCount; ++i)
      if (pending_[i]) values[i] = fieldtext::valueFromText(i, *pending_[i]);

    Bookmark saved = editing_;
    if (mode_ == EditMode::Add) {
      if (readOnly_) throw failures::readOnly(path_);
      saved = insert(values);
      insertKey(saved);
    } else if (std::any_of(values.begin(), values.end(),
                           [](const auto& v) { return v.has_value(); })) {
      if (readOnly_) throw failures::readOnly(path_);
      change(readOf(editing_), values);
    }
    // An edit with nothing to write succeeds as it is: the record stands as stored.
    read_.reset();
    lastModified_ = saved;
    cancelUpdate();
  }

  void cancelUpdate() override {
    mode_ = EditMode::None;
    pending_ = {};
    editing_ = 0;
  }

  void deleteCurrent() override {
    requireOpen();
    if (mode_ == EditMode::Add) throw failures::noCurrentRecord();  // the new one is not stored
    const Bookmark row = requireCurrent();
    if (readOnly_) throw failures::readOnly(path_);
    const Read original = readOf(row);
    {
      SqliteTransaction transaction(*db_, SqliteTransaction::Behaviour::Immediate);
      requireUnchanged(original);
      HistoryLog history(*db_);
      const std::optional<RecordValues> before = history.stored(row);
      SqliteStatement erase(*db_, "DELETE FROM phb WHERE rowid = ?1");
      erase.bindInt64(1, row);
      erase.step();
      requireOneRowChanged();
      history.record(HistoryAction::Deleted, row, before, std::nullopt);
      transaction.commit();
    }
    keys_.erase(keys_.begin() + pos_);
    deleted_ = true;
    read_.reset();
    if (lastModified_ == row) lastModified_.reset();
    cancelUpdate();
  }

 private:
  long count() const { return static_cast<long>(keys_.size()); }

  void requireOpen() const {
    if (!db_) throw failures::notOpen();
  }

  int indexOf(const QString& name) const {
    const int index = phb::fieldIndex(name);
    if (index < 0) throw failures::unknownField(name);
    return index;
  }

  // The stored record that is current; none while a new one is pending.
  std::optional<Bookmark> current() const {
    if (deleted_ || mode_ == EditMode::Add || pos_ < 0 || pos_ >= count()) return std::nullopt;
    return keys_[pos_];
  }

  Bookmark requireCurrent() const {
    if (const auto row = current()) return *row;
    throw deleted_ ? failures::recordDeleted() : failures::noCurrentRecord();
  }

  void moveTo(long position) {
    requireOpen();
    if (keys_.empty()) throw failures::noCurrentRecord();
    cancelUpdate();
    pos_ = position;
    deleted_ = false;
    read_.reset();
  }

  // Row ids only grow, so a new record goes at the end; the search keeps the order should
  // the table ever hand out a smaller one.
  void insertKey(Bookmark row) {
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), row);
    const long index = static_cast<long>(it - keys_.begin());
    keys_.insert(it, row);
    if (index <= pos_) ++pos_;
  }

  // A row as read: each field exactly as stored, and as the field gives it back.
  struct Read {
    Bookmark row = 0;
    bool found = false;  // false: the row was gone
    std::array<QVariant, kFieldCount> stored;
    std::array<QVariant, kFieldCount> values;
  };

  Read fetch(Bookmark row) const {
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

  // The record as first read since it became current; later reads give the same, so what
  // is shown and what a save checks against never drift apart.
  const Read& readOf(Bookmark row) const {
    if (!read_ || read_->row != row) read_ = fetch(row);
    // Deleted by another program since the keyset was read.
    if (!read_->found) throw failures::deletedElsewhere();
    return *read_;
  }

  const std::array<QVariant, kFieldCount>& storedRow(Bookmark row) const {
    return readOf(row).values;
  }

  // Inside a write transaction: the stored row is still the one read, field for field, in
  // type and value. Throws Conflict otherwise, before anything is written.
  void requireUnchanged(const Read& original) const {
    const Read now = fetch(original.row);
    if (!now.found) throw failures::deletedElsewhere();
    for (int i = 0; i < kFieldCount; ++i)
      if (now.stored[i].typeId() != original.stored[i].typeId() ||
          now.stored[i] != original.stored[i])
        throw failures::changedElsewhere();
  }

  // A write counts only when it changed exactly one row.
  void requireOneRowChanged() const {
    if (db_->changedRows() != 1) throw failures::writeNotConfirmed(path_);
  }

  Bookmark insert(const std::array<std::optional<QVariant>, kFieldCount>& values) {
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

  void change(const Read& original,
              const std::array<std::optional<QVariant>, kFieldCount>& values) {
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

  QString path_;
  bool readOnly_;
  std::unique_ptr<SqliteConnection> db_;
  std::unique_ptr<SqliteStatement> fetch_;

  bool freshIds_ = false;  // the file has phb_last_id

  std::vector<Bookmark> keys_;
  long pos_ = -1;  // -1 before the first record, count() past the last
  bool deleted_ = false;
  std::optional<Bookmark> lastModified_;

  EditMode mode_ = EditMode::None;
  std::array<std::optional<QString>, kFieldCount> pending_;
  Bookmark editing_ = 0;

  // The current record as read since it became current; reset by every move and save.
  mutable std::optional<Read> read_;
};

}  // namespace

std::unique_ptr<RecordSet> RecordSet::open(const QString& path) {
  return std::make_unique<SqliteRecordSet>(path);
}

}  // namespace sorvane::store
