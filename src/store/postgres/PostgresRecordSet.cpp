// The record set on the results server: the same keyset and pending record as the file's,
// with each write one READ COMMITTED transaction whose single UPDATE or DELETE checks the
// four values read, so another bench's change is never overwritten.

#include <QElapsedTimer>
#include <QThread>
#include <memory>

#include "store/KeyedRecordSet.h"
#include "store/ResultsSource.h"
#include "store/StoreFailures.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/ServerSession.h"

namespace sorvane::store {

namespace {

using phb::kFieldCount;

constexpr const char* kFetch = "SELECT 日期, 标识符, 样本数, pH均值 FROM sorvane.phb WHERE id = $1";
// The ids in one binary result, kept as runs of consecutive ids: a table of a million records
// that never lost one is one run in memory once the result is freed. (Asking the server for
// the runs takes a window over every id, which costs more than sending the ids, and a cursor
// in batches costs more round trips than its smaller peak saves.)
constexpr const char* kKeys = "SELECT id FROM sorvane.phb ORDER BY id";
constexpr const char* kCheckedFields = " AND (日期, 标识符, 样本数, pH均值) IS NOT DISTINCT FROM ";

// Serialization failures and deadlocks are run again this many times before the user is
// told the records are locked.
constexpr int kRetries = 3;
// How long the outcome of a COMMIT cut off by a lost connection is asked after.
constexpr int kOutcomeWaitMs = 10000;

class PostgresRecordSet final : public KeyedRecordSet {
 public:
  PostgresRecordSet(const QString& conninfo, const PasswordPrompt& askPassword)
      : session_(std::make_unique<ServerSession>(conninfo, askPassword)) {
    readOnly_ = !session_->writable();
    session_->read([this](PgConnection& db) {
      keys_.clear();
      const PgResult ids = db.exec(kKeys);
      for (int i = 0; i < ids.rows(); ++i) keys_.append(ids.int64(i, 0));
      return 0;
    });
    startAtFirst();
  }

  ~PostgresRecordSet() override { close(); }

 private:
  bool backendOpen() const override { return session_ != nullptr; }
  void closeBackend() override { session_.reset(); }

  // Binary parameters and columns: a double, a date and a text come back as sent.
  bool storesValuesExactly() const override { return true; }

  StoreError readOnlyError() const override {
    return failures::serverReadOnly(session_->login(), session_->server());
  }

  Read fetch(Bookmark row) const override {
    return session_->read([row](PgConnection& db) {
      const PgResult result = db.execPrepared(kFetch, PgParams().add(qlonglong(row)));
      Read read;
      read.row = row;
      read.found = result.rows() == 1;
      for (int i = 0; read.found && i < kFieldCount; ++i)
        read.stored[i] = read.values[i] = result.value(0, i);
      return read;
    });
  }

  Bookmark insertRow(const Changes& values) override {
    PgParams params;
    for (const auto& value : values) params.add(value.value_or(QVariant()));
    Bookmark row = 0;
    write([&](PgConnection& db) {
      const PgResult inserted = db.exec(
          "INSERT INTO sorvane.phb (日期, 标识符, 样本数, pH均值) VALUES ($1, $2, $3, $4)"
          " RETURNING id, pg_current_xact_id()::text",
          params);
      row = inserted.int64(0, 0);
      return inserted.value(0, 1).toString();
    });
    return row;
  }

  // The original's four values as parameters from `first` on, for the check.
  static QByteArray checkOf(const Read& original, PgParams& params, int first) {
    for (const QVariant& value : original.stored) params.add(value);
    return kCheckedFields + QStringLiteral("($%1, $%2, $%3, $%4)")
                                .arg(first)
                                .arg(first + 1)
                                .arg(first + 2)
                                .arg(first + 3)
                                .toUtf8();
  }

  // Nothing changed: tells a changed record from a deleted one.
  [[noreturn]] static void refuse(PgConnection& db, Bookmark row) {
    const PgResult there =
        db.exec("SELECT 1 FROM sorvane.phb WHERE id = $1", PgParams().add(qlonglong(row)));
    // Who: the record's newest history row, when it made the record what it is now.
    const PgResult last = db.exec(
        "SELECT h.changed_by, h.changed_at FROM sorvane.phb_history h WHERE h.id ="
        " (SELECT max(id) FROM sorvane.phb_history WHERE record_id = $1) AND CASE"
        " WHEN h.action = 'deleted' THEN NOT EXISTS (SELECT FROM sorvane.phb WHERE id = $1)"
        " ELSE EXISTS (SELECT FROM sorvane.phb p WHERE p.id = $1 AND (p.日期, p.标识符, p.样本数,"
        " p.pH均值) IS NOT DISTINCT FROM (h.after_日期, h.after_标识符, h.after_样本数,"
        " h.after_pH均值)) END",
        PgParams().add(qlonglong(row)));
    std::optional<failures::LastChange> who;
    if (last.rows() == 1)
      who = failures::LastChange{last.value(0, 0).toString(), last.value(0, 1).toDateTime()};
    throw there.rows() ? failures::changedElsewhere(who) : failures::deletedElsewhere(who);
  }

  void changeRow(const Read& original, const Changes& values) override {
    // Only the fields given a text are named; the names are the program's own.
    PgParams params;
    QByteArray sql = "UPDATE sorvane.phb SET ";
    for (int i = 0; i < kFieldCount; ++i)
      if (values[i]) {
        params.add(*values[i]);
        sql += phb::fieldNames()[i].toUtf8() + " = $" + QByteArray::number(params.count()) + ", ";
      }
    sql.chop(2);
    params.add(qlonglong(original.row));
    sql += " WHERE id = $" + QByteArray::number(params.count());
    sql += checkOf(original, params, params.count() + 1);
    sql += " RETURNING pg_current_xact_id()::text";
    write([&](PgConnection& db) {
      const PgResult changed = db.exec(sql.constData(), params);
      if (changed.rows() != 1) refuse(db, original.row);
      return changed.value(0, 0).toString();
    });
  }

  void deleteRow(const Read& original) override {
    PgParams params;
    params.add(qlonglong(original.row));
    const QByteArray sql = "DELETE FROM sorvane.phb WHERE id = $1" + checkOf(original, params, 2) +
                           " RETURNING pg_current_xact_id()::text";
    write([&](PgConnection& db) {
      const PgResult deleted = db.exec(sql.constData(), params);
      if (deleted.rows() != 1) refuse(db, original.row);
      return deleted.value(0, 0).toString();
    });
  }

  // One transaction around `statements`, which give back the transaction's id. Only a
  // COMMIT the server confirmed, or one it reports committed after a lost connection,
  // counts as saved.
  template <typename Statements>
  void write(Statements&& statements) {
    for (int attempt = 0, reconnected = 0;; ++attempt) {
      // A server still away is told as a save not made: 保存 again once it is back, not
      // 刷新(R), which would drop the typed text.
      PgConnection* connection = nullptr;
      try {
        connection = &session_->connection();
      } catch (const StoreError& error) {
        if (error.kind() != StoreError::Kind::Unreachable) throw;
        throw failures::connectionLost(session_->server());
      }
      PgConnection& db = *connection;
      db.beginWith("BEGIN ISOLATION LEVEL READ COMMITTED");
      QString transaction;
      try {
        transaction = statements(db);
      } catch (const PgError& error) {
        rollback(db, error.lost());
        // Nothing commits without COMMIT, so a connection found lost before it is made
        // again quietly, once.
        if (error.lost() && reconnected++ == 0) continue;
        if (error.lost()) throw failures::connectionLost(session_->server());
        if (error.retryable() && attempt < kRetries) continue;
        throw;
      } catch (...) {
        rollback(db, false);
        throw;
      }
      try {
        db.exec("COMMIT");
        return;
      } catch (const PgError& error) {
        if (!error.lost()) {
          if (error.retryable() && attempt < kRetries) continue;
          throw;
        }
      }
      session_->drop();
      return settle(transaction);
    }
  }

  void rollback(PgConnection& db, bool lost) {
    if (lost) return session_->drop();
    try {
      db.exec("ROLLBACK");
    } catch (const PgError&) {
      session_->drop();  // a connection that can't roll back is made again next time
    }
  }

  // The connection went during COMMIT: ask the server, once it answers again, whether the
  // transaction committed. Aborted: not saved. Unknown after the wait: the user is told so.
  void settle(const QString& transaction) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kOutcomeWaitMs) {
      QString outcome;
      try {
        outcome = session_->connection()
                      .exec("SELECT pg_xact_status($1::xid8)", PgParams().add(transaction))
                      .value(0, 0)
                      .toString();
      } catch (const StoreError&) {
        session_->drop();  // not back yet
      }
      if (outcome == QLatin1String("committed")) return;
      if (outcome == QLatin1String("aborted")) throw failures::connectionLost(session_->server());
      QThread::msleep(250);
    }
    throw failures::outcomeUnknown(session_->server());
  }

  std::unique_ptr<ServerSession> session_;
};

}  // namespace

std::unique_ptr<RecordSet> openServerRecordSet(const QString& conninfo,
                                               const PasswordPrompt& askPassword) {
  return std::make_unique<PostgresRecordSet>(conninfo, askPassword);
}

}  // namespace sorvane::store
