#pragma once

// Reading a whole results file in today's format (1, 2 or 3) for moving it onto the server:
// every record with its id and every history row as it stands, each checked that the server
// can hold it exactly. The file is opened read-only and read in one read transaction, so a
// bench still using it neither changes what is read nor is changed by it.

#include <QDateTime>
#include <QString>
#include <memory>

#include "store/History.h"

namespace sorvane::store {

// One row of phb_history, every column as the file holds it; a value that is null in the
// file is an invalid QVariant.
struct StoredHistoryRow {
  qint64 id = 0;
  Bookmark recordId = 0;
  QString action;
  QDateTime changedAt;  // in UTC: the instant, whatever offset it was written with
  QString changedBy;
  RecordValues before;
  RecordValues after;
};

class ResultsFileReader {
 public:
  // Opens `path`; throws StoreError for a file that is missing, not a results file, an
  // Access file (JetDatabase), or of a format newer than this program knows. The refusals of
  // a record name the file as `shownPath` when given.
  explicit ResultsFileReader(const QString& path, const QString& shownPath = {});
  ~ResultsFileReader();
  ResultsFileReader(const ResultsFileReader&) = delete;
  ResultsFileReader& operator=(const ResultsFileReader&) = delete;

  qint64 recordCount() const;
  qint64 historyCount() const;
  // No id at or below it was ever used by the file: its highest-id mark, its highest record
  // and the highest record its history names.
  Bookmark highestIdUsed() const;
  qint64 highestHistoryId() const;

  // The next record in id order, its values as RecordSet::field gives them (a QDate, a
  // QString, a double, or none). False at the end. Throws StoreError (NotConverted) for a
  // record the server could not hold exactly, naming its position and identifier.
  bool nextRecord(Bookmark& id, RecordValues& values);
  // The next history row in id order; false at the end. Throws StoreError as nextRecord.
  bool nextHistoryRow(StoredHistoryRow& row);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace sorvane::store
