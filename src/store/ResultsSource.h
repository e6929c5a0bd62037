#pragma once

// Where the results are: phjz.mdb beside the program, or a PostgreSQL server the lab's
// administrator named. The results window, the report and the history window open whichever
// it is through these functions and behave the same with both.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "store/History.h"
#include "store/RecordSet.h"
#include "store/Snapshot.h"
#include "store/StoreError.h"

namespace sorvane::store {

// Asked when the server wants a password libpq doesn't have; `server` names it. No value:
// the user cancelled. The password serves one connection and is never kept.
using PasswordPrompt = std::function<std::optional<QString>(const QString& server)>;

struct ResultsSource {
  QString path;    // the results file, when there is no server
  QString server;  // the administrator's libpq connection string or URI; empty: the file
  PasswordPrompt askPassword;
  // Set when the settings naming the server could not be used: every opening throws it,
  // and nothing is read or written anywhere.
  std::optional<StoreError> settingsError;

  bool isServer() const { return !server.isEmpty() || settingsError.has_value(); }
};

// Each throws StoreError.
std::unique_ptr<RecordSet> openRecordSet(const ResultsSource& source);
std::unique_ptr<Snapshot> openSnapshot(const ResultsSource& source);
// Record `id`'s history, oldest first.
std::vector<HistoryEntry> readHistory(const ResultsSource& source, Bookmark id);

// Why libpq can't parse the administrator's connection string; none when it can.
std::optional<QString> connectionStringProblem(const QString& conninfo);

// The server's versions, for the functions above (src/store/postgres/).
std::unique_ptr<RecordSet> openServerRecordSet(const QString& conninfo,
                                               const PasswordPrompt& askPassword);
std::unique_ptr<Snapshot> openServerSnapshot(const QString& conninfo,
                                             const PasswordPrompt& askPassword);
std::vector<HistoryEntry> readServerHistory(const QString& conninfo,
                                            const PasswordPrompt& askPassword, Bookmark id);

}  // namespace sorvane::store
