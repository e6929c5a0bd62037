#include "store/postgres/PgConnection.h"

#include <libpq-fe.h>

#include <QDate>
#include <QDateTime>
#include <QTimeZone>
#include <QtEndian>
#include <cstring>
#include <utility>

#include "store/ResultsSource.h"
#include "store/StoreFailures.h"

namespace sorvane::store {

namespace {

// The type oids of the values Sorvane sends and reads (pg_type.h).
constexpr Oid kBool = 16, kInt8 = 20, kInt4 = 23, kText = 25, kFloat8 = 701, kDate = 1082,
              kVarchar = 1043, kTimestamptz = 1184;

// PostgreSQL counts days and microseconds from 2000-01-01.
constexpr qint64 kEpochJulianDay = 2451545;
const QDateTime kEpoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);

// Sorvane's own settings, before the administrator's string so that the administrator's
// values win: a dead server or network is noticed within seconds, not hours.
const char* const kOwnKeywords[] = {"application_name", "connect_timeout",     "keepalives",
                                    "keepalives_idle",  "keepalives_interval", "keepalives_count",
                                    "tcp_user_timeout"};
const char* const kOwnValues[] = {"Sorvane", "5", "1", "10", "5", "2", "10000"};
constexpr int kOwnCount = sizeof kOwnKeywords / sizeof *kOwnKeywords;

// The settings a message may name; never the password or the rest.
QString describe(const char* conninfo) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo, &error);
  PQfreemem(error);
  if (!options) return QString::fromUtf8(conninfo);
  QStringList parts;
  for (const char* key : {"service", "host", "hostaddr", "port", "dbname"})
    for (PQconninfoOption* o = options; o->keyword; ++o)
      if (o->val && *o->val && std::strcmp(o->keyword, key) == 0)
        parts << QStringLiteral("%1=%2").arg(QLatin1String(key), QString::fromUtf8(o->val));
  PQconninfoFree(options);
  return parts.isEmpty() ? QStringLiteral("（默认服务器）") : parts.join(u' ');
}

QString firstLine(const char* message) {
  return QString::fromUtf8(message).trimmed().section(u'\n', 0, 0);
}

pg_conn* connect(const QByteArray& conninfo, const char* password) {
  const char* keywords[kOwnCount + 3];
  const char* values[kOwnCount + 3];
  int n = 0;
  for (; n < kOwnCount; ++n) keywords[n] = kOwnKeywords[n], values[n] = kOwnValues[n];
  // expand_dbname: this one "dbname" is the administrator's whole string or URI.
  keywords[n] = "dbname", values[n++] = conninfo.constData();
  if (password) keywords[n] = "password", values[n++] = password;
  keywords[n] = nullptr, values[n] = nullptr;
  return PQconnectdbParams(keywords, values, 1);
}

}  // namespace

std::optional<QString> connectionStringProblem(const QString& conninfo) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
  if (options) {
    PQconninfoFree(options);
    return std::nullopt;
  }
  const QString why = error ? firstLine(error) : QStringLiteral("内存不足");
  PQfreemem(error);
  return why;
}

PgParams& PgParams::add(const QVariant& value) {
  QByteArray bytes;
  unsigned int type = kText;
  switch (value.typeId()) {
    case QMetaType::QDate: {
      type = kDate;
      const qint32 days = qToBigEndian(qint32(value.toDate().toJulianDay() - kEpochJulianDay));
      bytes = QByteArray(reinterpret_cast<const char*>(&days), sizeof days);
      break;
    }
    case QMetaType::Double: {
      type = kFloat8;
      const double d = value.toDouble();
      quint64 bits;
      std::memcpy(&bits, &d, sizeof bits);
      bits = qToBigEndian(bits);
      bytes = QByteArray(reinterpret_cast<const char*>(&bits), sizeof bits);
      break;
    }
    case QMetaType::LongLong:
    case QMetaType::Int: {
      type = kInt8;
      const qint64 n = qToBigEndian(qint64(value.toLongLong()));
      bytes = QByteArray(reinterpret_cast<const char*>(&n), sizeof n);
      break;
    }
    default:
      if (value.isValid()) bytes = value.toString().toUtf8();
  }
  const bool null = !value.isValid() || value.isNull();
  values_.push_back(std::move(bytes));
  // A null's type is left to the server, which takes it from the column it goes to.
  types_.push_back(null ? 0 : type);
  nulls_.push_back(null);
  return *this;
}

PgResult::~PgResult() { PQclear(result_); }

PgResult::PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}

PgResult& PgResult::operator=(PgResult&& other) noexcept {
  if (this != &other) {
    PQclear(result_);
    result_ = std::exchange(other.result_, nullptr);
  }
  return *this;
}

int PgResult::rows() const { return PQntuples(result_); }

long PgResult::changedRows() const { return std::atol(PQcmdTuples(result_)); }

bool PgResult::isNull(int row, int column) const { return PQgetisnull(result_, row, column); }

std::int64_t PgResult::int64(int row, int column) const { return value(row, column).toLongLong(); }

QVariant PgResult::value(int row, int column) const {
  if (PQgetisnull(result_, row, column)) return {};
  const char* data = PQgetvalue(result_, row, column);
  const int length = PQgetlength(result_, row, column);
  const auto big = [data]<typename T>(T) {
    T n;
    std::memcpy(&n, data, sizeof n);
    return qFromBigEndian(n);
  };
  switch (PQftype(result_, column)) {
    case kDate:
      return QDate::fromJulianDay(big(qint32()) + kEpochJulianDay);
    case kFloat8: {
      const quint64 bits = big(quint64());
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
    case kInt8:
      return qlonglong(big(qint64()));
    case kInt4:
      return int(big(qint32()));
    case kBool:
      return *data != 0;
    case kTimestamptz:
      return kEpoch.addMSecs(big(qint64()) / 1000);
    case kText:
    case kVarchar:
    default:
      return QString::fromUtf8(data, length);
  }
}

PgConnection::PgConnection(const QString& conninfo, const PasswordPrompt& askPassword) {
  const QByteArray info = conninfo.toUtf8();
  server_ = describe(info.constData());
  conn_ = connect(info, nullptr);
  // The password is used for this connection only and forgotten with it.
  if (PQstatus(conn_) == CONNECTION_BAD && PQconnectionNeedsPassword(conn_) && askPassword) {
    if (std::optional<QString> password = askPassword(server_)) {
      QByteArray bytes = password->toUtf8();
      PQfinish(conn_);
      conn_ = connect(info, bytes.constData());
      bytes.fill('\0');
    }
  }
  if (PQstatus(conn_) != CONNECTION_OK) {
    const QString why = firstLine(PQerrorMessage(conn_));
    PQfinish(conn_);
    conn_ = nullptr;
    throw failures::serverUnreachable(server_, why);
  }
  // Sorvane's texts are UTF-8 whatever the administrator's settings; lock waits end as the
  // file's busy wait does, and no statement freezes the window for long.
  PQsetClientEncoding(conn_, "UTF8");
  exec(
      "SELECT set_config('lock_timeout', '1500', false),"
      " set_config('statement_timeout', '10000', false)");
}

PgConnection::~PgConnection() { PQfinish(conn_); }

QString PgConnection::login() const { return QString::fromUtf8(PQuser(conn_)); }

void PgConnection::fail(pg_result* result) {
  const PgResult owned(result);
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const QByteArray sqlState = state ? QByteArray(state) : QByteArray();
  const QString why =
      firstLine(result && *PQresultErrorMessage(result) ? PQresultErrorMessage(result)
                                                        : PQerrorMessage(conn_));
  // A connection gone, or a server shutting down (class 08, 57P01-57P03).
  const bool lost = PQstatus(conn_) == CONNECTION_BAD || sqlState.startsWith("08") ||
                    sqlState.startsWith("57P0") || sqlState.isEmpty();
  if (lost) throw PgError(failures::connectionLost(server_), sqlState, true);
  if (sqlState == "55P03" || sqlState == "57014" || sqlState == "40001" || sqlState == "40P01")
    throw PgError(failures::locked(server_), sqlState, false);
  // Check violations, a text too long, a NUL, a value out of range: the value is refused.
  if (sqlState.startsWith("22") || sqlState.startsWith("23"))
    throw PgError(failures::constraint(why), sqlState, false);
  if (sqlState == "42501")
    throw PgError(failures::serverReadOnly(login(), server_), sqlState, false);
  throw PgError(failures::serverUnreachable(server_, why), sqlState, false);
}

PgResult PgConnection::exec(const char* sql, const PgParams& params) {
  std::vector<const char*> values(params.count());
  std::vector<int> lengths(params.count()), formats(params.count(), 1);
  for (int i = 0; i < params.count(); ++i) {
    values[i] = params.nulls_[i] ? nullptr : params.values_[i].constData();
    lengths[i] = static_cast<int>(params.values_[i].size());
  }
  if (!begin_.isEmpty())
    return execAfterBegin(sql, params.count(), params.types_.data(), values.data(), lengths.data(),
                          formats.data());
  pg_result* result = PQexecParams(conn_, sql, params.count(), params.types_.data(), values.data(),
                                   lengths.data(), formats.data(), 1);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(result);
  return PgResult(result);
}

// The BEGIN and the statement go in one round trip (a pipeline); should the BEGIN fail, the
// server skips the statement.
PgResult PgConnection::execAfterBegin(const char* sql, int count, const unsigned int* types,
                                      const char* const* values, const int* lengths,
                                      const int* formats) {
  const QByteArray begin = std::exchange(begin_, QByteArray());
  if (!PQenterPipelineMode(conn_)) fail(nullptr);
  const bool sent =
      PQsendQueryParams(conn_, begin.constData(), 0, nullptr, nullptr, nullptr, nullptr, 1) &&
      PQsendQueryParams(conn_, sql, count, types, values, lengths, formats, 1) &&
      PQpipelineSync(conn_);
  // Every result up to the sync is taken, so the connection leaves the pipeline as it came.
  std::vector<PgResult> results;
  for (int nulls = 0; sent && PQstatus(conn_) == CONNECTION_OK && nulls < 4;) {
    pg_result* result = PQgetResult(conn_);
    if (!result) {
      ++nulls;
      continue;
    }
    if (PQresultStatus(result) == PGRES_PIPELINE_SYNC) {
      PQclear(result);
      break;
    }
    results.emplace_back(result);
  }
  PQexitPipelineMode(conn_);
  if (!sent || results.size() != 2) fail(nullptr);
  for (PgResult& result : results) {
    const ExecStatusType status = PQresultStatus(result.result_);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
      fail(std::exchange(result.result_, nullptr));
  }
  return std::move(results[1]);
}

PgResult PgConnection::execPrepared(const QByteArray& sql, const PgParams& params) {
  auto name = prepared_.constFind(sql);
  if (name == prepared_.constEnd()) {
    const QByteArray made = "sorvane_" + QByteArray::number(prepared_.size());
    pg_result* result =
        PQprepare(conn_, made.constData(), sql.constData(), params.count(), params.types_.data());
    if (PQresultStatus(result) != PGRES_COMMAND_OK) fail(result);
    PQclear(result);
    name = prepared_.insert(sql, made);
  }
  std::vector<const char*> values(params.count());
  std::vector<int> lengths(params.count()), formats(params.count(), 1);
  for (int i = 0; i < params.count(); ++i) {
    values[i] = params.nulls_[i] ? nullptr : params.values_[i].constData();
    lengths[i] = static_cast<int>(params.values_[i].size());
  }
  pg_result* result = PQexecPrepared(conn_, name->constData(), params.count(), values.data(),
                                     lengths.data(), formats.data(), 1);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(result);
  return PgResult(result);
}

void PgConnection::copyBegin(const char* sql) {
  pg_result* result = PQexec(conn_, sql);
  if (PQresultStatus(result) != PGRES_COPY_IN) fail(result);
  PQclear(result);
}

void PgConnection::copyPut(const QByteArray& bytes) {
  // Blocking connection: 1 once the data is queued, -1 on failure.
  if (PQputCopyData(conn_, bytes.constData(), static_cast<int>(bytes.size())) != 1) fail(nullptr);
}

void PgConnection::copyEnd() {
  if (PQputCopyEnd(conn_, nullptr) != 1) fail(nullptr);
  pg_result* failed = nullptr;
  // The COPY's own result, then the end of the command.
  while (pg_result* result = PQgetResult(conn_)) {
    if (PQresultStatus(result) != PGRES_COMMAND_OK && !failed) {
      failed = result;
      continue;
    }
    PQclear(result);
  }
  if (failed) fail(failed);
}

void PgConnection::copyAbort() {
  PQputCopyEnd(conn_, "refused");
  while (pg_result* result = PQgetResult(conn_)) PQclear(result);
}

}  // namespace sorvane::store
