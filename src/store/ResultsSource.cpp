#include "store/ResultsSource.h"

#include "store/sqlite/HistoryLog.h"

namespace sorvane::store {

namespace {

// With a server named, the file is never opened: the results would split in two.
void requireUsable(const ResultsSource& source) {
  if (source.settingsError) throw *source.settingsError;
}

}  // namespace

std::unique_ptr<RecordSet> openRecordSet(const ResultsSource& source) {
  requireUsable(source);
  return source.isServer() ? openServerRecordSet(source.server, source.askPassword)
                           : RecordSet::open(source.path);
}

std::unique_ptr<Snapshot> openSnapshot(const ResultsSource& source) {
  requireUsable(source);
  return source.isServer() ? openServerSnapshot(source.server, source.askPassword)
                           : Snapshot::open(source.path);
}

std::vector<HistoryEntry> readHistory(const ResultsSource& source, Bookmark id) {
  requireUsable(source);
  return source.isServer() ? readServerHistory(source.server, source.askPassword, id)
                           : readHistory(source.path, id);
}

}  // namespace sorvane::store
