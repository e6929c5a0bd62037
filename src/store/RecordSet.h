#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>

#include "store/StoreError.h"

namespace sorvane::store {

// A record's identity in the table (its row id); stays valid while the record exists.
using Bookmark = std::int64_t;

// An updatable keyset over table phb in table order, fetching rows on demand: the record
// set the results window's navigator edits. Every failure throws StoreError; a failed
// operation leaves the position, the pending record and the file as they were.
class RecordSet {
 public:
  enum class EditMode { None, Edit, Add };

  // Opens the file shared and writable (read-only when it cannot be written) and makes
  // the first record, if any, current. Re-opening is how the navigator refreshes.
  static std::unique_ptr<RecordSet> open(const QString& path);
  virtual ~RecordSet() = default;

  virtual bool isOpen() const = 0;
  virtual void close() = 0;
  // Read-only: browsing and pending edits work; update() and deleteCurrent() throw ReadOnly.
  virtual bool isReadOnly() const = 0;

  // Position. BOF/EOF as the old engine had them: before the first / past the last record;
  // both on an empty set. Moving past BOF or EOF, or MoveFirst/MoveLast on an empty set,
  // throws NoCurrentRecord (legacy::kNoCurrentRecord). Every move abandons a pending
  // AddNew/Edit, as the old engine did.
  virtual bool bof() const = 0;
  virtual bool eof() const = 0;
  virtual void moveFirst() = 0;
  virtual void moveLast() = 0;
  virtual void moveNext() = 0;
  virtual void movePrevious() = 0;
  // Zero-based position of the current record, -1 when none is current (also while a new
  // record is pending, and after Delete until the next move).
  virtual long absolutePosition() const = 0;
  virtual long recordCount() const = 0;
  virtual std::optional<Bookmark> bookmark() const = 0;
  virtual void setBookmark(Bookmark bookmark) = 0;
  // The record saved last through this record set. After saving a new record, the record
  // current before AddNew is current again; set the bookmark to this to show the new one.
  virtual std::optional<Bookmark> lastModified() const = 0;

  // The current record's value: a QDate, a QString or a double; null when it has none.
  // While a record is pending (Add/Edit), the pending texts are shown instead.
  virtual QVariant field(const QString& name) const = 0;
  // The same value as the text a bound box shows (short date, number-to-text, text).
  virtual QString fieldText(const QString& name) const = 0;

  // Editing. AddNew makes a new empty record current; Edit starts editing the current one.
  // Field texts are converted to the fields' types only by Update, which saves in one
  // durable transaction; on failure the record stays pending and nothing stored changes.
  // Update writes only the fields given a text: an edit with none writes nothing and
  // succeeds, and LastModified is then that record.
  //
  // Another program may change the file meanwhile. What was read of a record when it became
  // current is kept until the next move; Update of an edit and Delete first check that the
  // stored row still holds exactly that, and otherwise write nothing and throw Conflict
  // (legacy::kDataChanged, or legacy::kRecordDeleted when the row is gone). Re-opening shows
  // the stored state.
  virtual EditMode editMode() const = 0;
  virtual void addNew() = 0;
  virtual void edit() = 0;
  virtual void setFieldText(const QString& name, const QString& text) = 0;
  virtual void update() = 0;
  virtual void cancelUpdate() = 0;
  // Deletes the current record; none is current until the next move.
  virtual void deleteCurrent() = 0;
};

}  // namespace sorvane::store
