// The record set behind the results window: a keyset of row ids in table order, read once
// at opening, with each row fetched only when its fields are asked for.

#include <QDate>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "store/FieldText.h"
#include "store/History.h"
#include "store/PhbFields.h"
#include "store/PhbFile.h"
#include "store/RecordSet.h"
#include "store/SqliteConnection.h"
#include "store/SqliteStatement.h"
#include "store/SqliteTransaction.h"
#include "store/StoreFailures.h"

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
    cachedRow_.reset();
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
  }

  void movePrevious() override {
    requireOpen();
    if (bof()) throw failures::noCurrentRecord();
    cancelUpdate();
    --pos_;
    deleted_ = false;
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
    std::array<QVariant, kFieldCount> values;
    for (int i = 0; i < kFieldCount; ++i) {
      if (pending_[i])
        values[i] = fieldtext::valueFromText(i, *pending_[i]);
      else if (mode_ == EditMode::Edit)
        values[i] = storedRow(editing_)[i];
    }
    if (readOnly_) throw failures::readOnly(path_);

    Bookmark saved = editing_;
    {
      SqliteTransaction transaction(*db_, SqliteTransaction::Behaviour::Immediate);
      HistoryLog history(*db_);
      if (mode_ == EditMode::Add) {
        SqliteStatement insert(
            *db_, "INSERT INTO phb (日期, 标识符, 样本数, pH均值) VALUES (?1, ?2, ?3, ?4)");
        for (int i = 0; i < kFieldCount; ++i) insert.bind(i + 1, values[i]);
        insert.step();
        saved = db_->lastInsertRowId();
        history.record(HistoryAction::Added, saved, std::nullopt, history.stored(saved));
      } else {
        const std::optional<RecordValues> before = history.stored(editing_);
        SqliteStatement change(*db_,
                               "UPDATE phb SET 日期 = ?1, 标识符 = ?2, 样本数 = ?3, pH均值 = ?4 "
                               "WHERE rowid = ?5");
        for (int i = 0; i < kFieldCount; ++i) change.bind(i + 1, values[i]);
        change.bindInt64(kFieldCount + 1, editing_);
        change.step();
        if (db_->changedRows() == 0) throw failures::recordDeleted();
        history.record(HistoryAction::Changed, editing_, before, history.stored(editing_));
      }
      transaction.commit();
    }

    if (mode_ == EditMode::Add) insertKey(saved);
    cachedRow_.reset();
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
    {
      SqliteTransaction transaction(*db_, SqliteTransaction::Behaviour::Immediate);
      HistoryLog history(*db_);
      const std::optional<RecordValues> before = history.stored(row);
      SqliteStatement erase(*db_, "DELETE FROM phb WHERE rowid = ?1");
      erase.bindInt64(1, row);
      erase.step();
      history.record(HistoryAction::Deleted, row, before, std::nullopt);
      transaction.commit();
    }
    keys_.erase(keys_.begin() + pos_);
    deleted_ = true;
    cachedRow_.reset();
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
  }

  // Row ids only grow, so a new record goes at the end; the search keeps the order should
  // the table ever hand out a smaller one.
  void insertKey(Bookmark row) {
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), row);
    const long index = static_cast<long>(it - keys_.begin());
    keys_.insert(it, row);
    if (index <= pos_) ++pos_;
  }

  const std::array<QVariant, kFieldCount>& storedRow(Bookmark row) const {
    if (cachedRow_ == row) return cached_;
    fetch_->bindInt64(1, row);
    if (!fetch_->step()) {
      fetch_->reset();
      throw failures::recordDeleted();  // deleted by another program since the keyset was read
    }
    for (int i = 0; i < kFieldCount; ++i) cached_[i] = columnValue(*fetch_, i, i);
    // Reset at once so no read lock outlives the fetch and blocks another program's save.
    fetch_->reset();
    cachedRow_ = row;
    return cached_;
  }

  QString path_;
  bool readOnly_;
  std::unique_ptr<SqliteConnection> db_;
  std::unique_ptr<SqliteStatement> fetch_;

  std::vector<Bookmark> keys_;
  long pos_ = -1;  // -1 before the first record, count() past the last
  bool deleted_ = false;
  std::optional<Bookmark> lastModified_;

  EditMode mode_ = EditMode::None;
  std::array<std::optional<QString>, kFieldCount> pending_;
  Bookmark editing_ = 0;

  mutable std::optional<Bookmark> cachedRow_;
  mutable std::array<QVariant, kFieldCount> cached_;
};

}  // namespace

std::unique_ptr<RecordSet> RecordSet::open(const QString& path) {
  return std::make_unique<SqliteRecordSet>(path);
}

}  // namespace sorvane::store
