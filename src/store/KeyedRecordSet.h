#pragma once

// What every backend's record set shares: the keyset, the position with BOF/EOF as the old
// engine had them, bookmarks, and the pending record of AddNew/Edit. A backend supplies
// only reading one row and writing one change.

#include <QVariant>
#include <array>
#include <optional>
#include <vector>

#include "store/PhbFields.h"
#include "store/RecordSet.h"

namespace sorvane::store {

// The record ids in ascending order, kept as runs of consecutive ids: a table whose ids
// were handed out one after another is one run, however many records it holds.
class Keyset {
 public:
  // Ids must come in ascending order.
  void appendRun(Bookmark first, long count);
  void append(Bookmark id) { appendRun(id, 1); }
  void clear() { runs_.clear(); }
  long size() const { return runs_.empty() ? 0 : runs_.back().start + runs_.back().count; }
  Bookmark at(long position) const;
  // The position of `id`, none when it is not in the set.
  std::optional<long> find(Bookmark id) const;
  // Inserts `id` in its place and gives back its position.
  long insert(Bookmark id);
  void erase(long position);

 private:
  struct Run {
    Bookmark first;
    long count;
    long start;  // the position of `first`
  };
  std::vector<Run> runs_;
  void renumberFrom(std::size_t run);
};

class KeyedRecordSet : public RecordSet {
 public:
  bool isOpen() const override { return backendOpen(); }
  void close() final;
  bool isReadOnly() const override { return readOnly_; }
  bool bof() const override;
  bool eof() const override;
  void moveFirst() override { moveTo(0); }
  void moveLast() override { moveTo(count() - 1); }
  void moveNext() override;
  void movePrevious() override;
  long absolutePosition() const override;
  long recordCount() const override;
  std::optional<Bookmark> bookmark() const override;
  void setBookmark(Bookmark bookmark) override;
  std::optional<Bookmark> lastModified() const override;
  QVariant field(const QString& name) const override;
  QString fieldText(const QString& name) const override;
  EditMode editMode() const override { return mode_; }
  void addNew() override;
  void edit() override;
  void setFieldText(const QString& name, const QString& text) override;
  void update() override;
  void cancelUpdate() override;
  void deleteCurrent() override;

 protected:
  using Fields = std::array<QVariant, phb::kFieldCount>;
  // The values a save writes: only the fields given a text.
  using Changes = std::array<std::optional<QVariant>, phb::kFieldCount>;

  // A row as read: each field exactly as stored (what a save checks the stored row
  // against), and as the field gives it back.
  struct Read {
    Bookmark row = 0;
    bool found = false;  // false: the row was gone
    Fields stored;
    Fields values;
  };

  virtual bool backendOpen() const = 0;
  virtual void closeBackend() = 0;
  virtual Read fetch(Bookmark row) const = 0;
  // Each writes in one durable transaction and throws StoreError without writing anything:
  // Conflict when the stored row is no longer `original`.
  virtual Bookmark insertRow(const Changes& values) = 0;
  virtual void changeRow(const Read& original, const Changes& values) = 0;
  virtual void deleteRow(const Read& original) = 0;
  // True when a value reads back exactly as written, so a saved record needs no reading
  // again: what the next save checks against is what this one wrote.
  virtual bool storesValuesExactly() const { return false; }
  // What update() and deleteCurrent() throw on a read-only set.
  virtual StoreError readOnlyError() const = 0;

  // Filled by the backend when it opens; then startAtFirst().
  Keyset keys_;
  bool readOnly_ = false;
  void startAtFirst() { pos_ = keys_.size() == 0 ? -1 : 0; }

 private:
  long count() const { return keys_.size(); }
  void requireOpen() const;
  std::optional<Bookmark> current() const;
  Bookmark requireCurrent() const;
  void moveTo(long position);
  void forgetRead() const { read_.reset(); }
  const Read& readOf(Bookmark row) const;

  long pos_ = -1;  // -1 before the first record, count() past the last
  bool deleted_ = false;
  std::optional<Bookmark> lastModified_;
  EditMode mode_ = EditMode::None;
  std::array<std::optional<QString>, phb::kFieldCount> pending_;
  Bookmark editing_ = 0;
  // The current record as first read since it became current; reset by every move and
  // save, so what is shown and what a save checks against never drift apart.
  mutable std::optional<Read> read_;
};

}  // namespace sorvane::store
