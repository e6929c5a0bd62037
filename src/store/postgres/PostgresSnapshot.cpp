// The report's query on the results server: one REPEATABLE READ READ ONLY transaction from
// opening to closing, read through a cursor in batches, so every row is as the results stood
// when the snapshot opened and memory stays the same however many there are.

#include <array>
#include <memory>

#include "store/PhbFields.h"
#include "store/ResultsSource.h"
#include "store/Snapshot.h"
#include "store/StoreFailures.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/ServerSession.h"

namespace sorvane::store {

namespace {

constexpr const char* kFetch = "FETCH 2000 FROM report";

class PostgresSnapshot final : public Snapshot {
 public:
  PostgresSnapshot(const QString& conninfo, const PasswordPrompt& askPassword)
      : session_(std::make_unique<ServerSession>(conninfo, askPassword)) {
    PgConnection& db = session_->connection();
    db.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    db.exec(
        "DECLARE report BINARY NO SCROLL CURSOR FOR"
        " SELECT 日期, 标识符, 样本数, pH均值 FROM sorvane.phb ORDER BY id");
    batch_ = db.exec(kFetch);
  }

  ~PostgresSnapshot() override { close(); }

  bool eof() const override {
    requireOpen();
    return row_ >= batch_.rows();
  }

  void moveNext() override {
    requireOpen();
    if (eof()) throw failures::noCurrentRecord();
    if (++row_ < batch_.rows()) return;
    batch_ = session_->connection().exec(kFetch);
    row_ = 0;
  }

  QVariant field(const QString& name) const override {
    requireOpen();
    const int index = phb::fieldIndex(name);
    if (index < 0) throw failures::unknownField(name);
    if (eof()) throw failures::noCurrentRecord();
    return batch_.value(row_, index);
  }

  void close() override {
    batch_ = PgResult();
    // Closing the connection ends the read-only transaction; nothing was written.
    session_.reset();
  }

 private:
  void requireOpen() const {
    if (!session_) throw failures::notOpen();
  }

  std::unique_ptr<ServerSession> session_;
  PgResult batch_;
  int row_ = 0;
};

}  // namespace

std::unique_ptr<Snapshot> openServerSnapshot(const QString& conninfo,
                                             const PasswordPrompt& askPassword) {
  return std::make_unique<PostgresSnapshot>(conninfo, askPassword);
}

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
