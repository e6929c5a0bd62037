// One record's history as the results server keeps it, for the history window.

#include "store/History.h"
#include "store/PhbFields.h"
#include "store/ResultsSource.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/ServerSession.h"

namespace sorvane::store {

std::vector<HistoryEntry> readServerHistory(const QString& conninfo,
                                            const PasswordPrompt& askPassword, Bookmark id) {
  ServerSession session(conninfo, askPassword);
  const PgResult rows = session.connection().exec(
      "SELECT record_id, action, changed_at, changed_by,"
      " before_日期, before_标识符, before_样本数, before_pH均值,"
      " after_日期, after_标识符, after_样本数, after_pH均值"
      " FROM sorvane.phb_history WHERE record_id = $1 ORDER BY id",
      PgParams().add(qlonglong(id)));
  std::vector<HistoryEntry> entries;
  for (int r = 0; r < rows.rows(); ++r) {
    HistoryEntry entry;
    entry.recordId = rows.int64(r, 0);
    entry.action = actionFromCode(rows.value(r, 1).toString()).value_or(HistoryAction::Changed);
    // The instant the server kept, in this bench's local time with its offset.
    entry.changedAt = isoWithOffset(rows.value(r, 2).toDateTime().toLocalTime());
    entry.changedBy = rows.value(r, 3).toString();
    const auto values = [&](int first) {
      RecordValues values;
      for (int i = 0; i < phb::kFieldCount; ++i) values[i] = rows.value(r, first + i);
      return values;
    };
    if (entry.action != HistoryAction::Added && entry.action != HistoryAction::Converted)
      entry.before = values(4);
    if (entry.action != HistoryAction::Deleted) entry.after = values(4 + phb::kFieldCount);
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace sorvane::store
