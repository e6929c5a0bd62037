#pragma once

// Moving a results file onto an empty results server: every record with its id, every
// history row as it stands, then one "converted" row per record under the administrator's
// login, all in one transaction. A refusal, a failure or a killed run leaves the server as it
// was; the file is only read.

#include <QString>
#include <functional>

namespace sorvane::store {

struct MoveOptions {
  // The name messages give the source; the file's own path when empty.
  QString shownPath;
  // False for a file just converted from Access: its history is the conversion's own, and
  // the server gets only its "converted" rows.
  bool keepHistory = true;
  // Called now and then with the rows sent so far and the rows there are to send.
  std::function<void(qint64 sent, qint64 total)> progress;
};

struct MoveReport {
  qint64 records = 0;
  qint64 historyRows = 0;  // carried over from the file, the "converted" rows not counted
  QString server;
};

// Throws StoreError: the file's own (missing, not a results file, JetDatabase for an Access
// file), the server's (Unreachable, TableMissing, NoAccess), and NotConverted for a record or
// history row that can't be carried over exactly or a server that is not empty.
MoveReport moveFileToServer(const QString& conninfo, const QString& path,
                            const MoveOptions& options = {});

}  // namespace sorvane::store
