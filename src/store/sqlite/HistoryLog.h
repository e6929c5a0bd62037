#pragma once

// Writing and reading the change history of a results file: table phb_history of the same
// file, written in the transaction of the change itself.

#include <memory>
#include <optional>
#include <vector>

#include "store/History.h"
#include "store/StoreFailures.h"

namespace sorvane::store {

class SqliteConnection;
class SqliteStatement;

// Writes history rows inside a write transaction the caller has open on the connection.
// Nothing is committed here: the rows stand or fall with the caller's change.
class HistoryLog {
 public:
  // The first row written adds phb_history and its triggers to a format 1 or 2 file, which
  // lacks them, in the same transaction. Throws StoreError.
  explicit HistoryLog(SqliteConnection& db);
  ~HistoryLog();
  HistoryLog(const HistoryLog&) = delete;
  HistoryLog& operator=(const HistoryLog&) = delete;

  // Record `id` as the file holds it now, inside the transaction; none when there is no
  // such record. Read before a change for its "before" values and after it for "after".
  std::optional<RecordValues> stored(Bookmark id);

  // One history row. A save that left the record as it was, and a deletion of a record that
  // was already gone, changed nothing and leave no row. Throws StoreError.
  void record(HistoryAction action, Bookmark id, const std::optional<RecordValues>& before,
              const std::optional<RecordValues>& after);

  // For the conversion from an old Jet file: one "converted" row for every record it has
  // written into phb, with the values as stored, in one statement.
  void convertedAll();

 private:
  SqliteConnection& db_;
  std::unique_ptr<SqliteStatement> fetch_;
  std::unique_ptr<SqliteStatement> insert_;
  // Who and when, taken once: every row of one transaction is one change by one user.
  QString changedAt_;
  QString changedBy_;

  // Makes sure the table exists and takes who and when, before the first row is written.
  void prepareToWrite();
};

// Who made record `id` what the file holds now: the newest history row of the record, when it
// says so (a deletion of a record that is gone, or values that are the record's now). None
// for a file without history, or when another program changed the record without a row.
std::optional<failures::LastChange> lastChange(const SqliteConnection& db, Bookmark id);

// Record `id`'s history in the file at `path`, oldest first. A file without phb_history
// has none. Opens the file read-only on its own; throws StoreError.
std::vector<HistoryEntry> readHistory(const QString& path, Bookmark id);

}  // namespace sorvane::store
