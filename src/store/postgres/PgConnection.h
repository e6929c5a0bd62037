#pragma once

// The store's only way to a PostgreSQL server: a connection, its results and its failures.
// No libpq type or call is seen outside src/store/postgres/*.cpp. Values go to the server
// as binary parameters and come back as binary columns, so a double read back compares
// equal to the one stored.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "store/StoreError.h"

struct pg_conn;
struct pg_result;

namespace sorvane::store {

// A failure the server reported, or a lost connection. Reads may be retried after
// `lost`; `sqlState` tells lock waits, serialization failures and deadlocks apart.
class PgError : public StoreError {
 public:
  PgError(const StoreError& error, QByteArray sqlState, bool lost)
      : StoreError(error), sqlState_(std::move(sqlState)), lost_(lost) {}
  const QByteArray& sqlState() const { return sqlState_; }
  bool lost() const { return lost_; }
  // A serialization failure or a deadlock: the whole transaction may be run again.
  bool retryable() const { return sqlState_ == "40001" || sqlState_ == "40P01"; }

 private:
  QByteArray sqlState_;
  bool lost_;
};

// Parameters in binary, each with its type: a QDate (date), a QString (text), a double
// (float8), a qint64 (int8); an invalid QVariant is NULL.
class PgParams {
 public:
  PgParams& add(const QVariant& value);
  int count() const { return static_cast<int>(types_.size()); }

 private:
  friend class PgConnection;
  std::vector<QByteArray> values_;
  std::vector<unsigned int> types_;
  std::vector<bool> nulls_;
};

// One result, owned; every column binary.
class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(pg_result* result) : result_(result) {}
  ~PgResult();
  PgResult(PgResult&& other) noexcept;
  PgResult& operator=(PgResult&& other) noexcept;
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;

  int rows() const;
  // How many rows an INSERT, UPDATE or DELETE changed.
  long changedRows() const;
  bool isNull(int row, int column) const;
  std::int64_t int64(int row, int column) const;
  // A date column as a QDate, text as a QString, float8 as a double, int8 as a qint64,
  // timestamptz as a QDateTime in UTC; null as an invalid QVariant.
  QVariant value(int row, int column) const;

 private:
  friend class PgConnection;
  pg_result* result_ = nullptr;
};

// One connection, opened at construction and closed with the object.
class PgConnection {
 public:
  // Asked for a password when the server wants one libpq doesn't have (from ~/.pgpass);
  // no value: the user cancelled.
  using PasswordPrompt = std::function<std::optional<QString>(const QString& server)>;

  // `conninfo` is the administrator's connection string or URI; Sorvane's own settings go
  // before it, so the administrator's win. Throws StoreError: Unreachable.
  explicit PgConnection(const QString& conninfo, const PasswordPrompt& askPassword = {});
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Throws PgError for a failure the server reports, or a lost connection.
  PgResult exec(const char* sql, const PgParams& params = {});
  // Sends `sql` with the next exec(), in the same round trip, to open a transaction.
  void beginWith(QByteArray sql) { begin_ = std::move(sql); }
  // The same, prepared on its first use on this connection and reused after: for the
  // statements run once per move or save.
  PgResult execPrepared(const QByteArray& sql, const PgParams& params);

  // The server as the messages name it: its service, or its host and database; never a
  // password.
  const QString& server() const { return server_; }
  // The login the connection runs as.
  QString login() const;

  // COPY ... FROM STDIN in the binary format: begun by copyBegin, fed by copyPut in chunks,
  // ended by copyEnd, which throws PgError when the server refused any row. copyAbort ends it
  // refused, so the transaction it ran in fails.
  void copyBegin(const char* sql);
  void copyPut(const QByteArray& bytes);
  void copyEnd();
  void copyAbort();

 private:
  pg_conn* conn_ = nullptr;
  QString server_;
  QHash<QByteArray, QByteArray> prepared_;  // statement name by SQL
  QByteArray begin_;
  PgResult execAfterBegin(const char* sql, int count, const unsigned int* types,
                          const char* const* values, const int* lengths, const int* formats);
  [[noreturn]] void fail(pg_result* result);
};

}  // namespace sorvane::store
