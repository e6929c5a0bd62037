#include "store/postgres/ServerMove.h"

#include <QDate>
#include <QtEndian>
#include <cstring>

#include "store/StoreFailures.h"
#include "store/postgres/PgConnection.h"
#include "store/sqlite/ResultsFileReader.h"

namespace sorvane::store {

namespace {

// Rows between progress calls: often enough for a few updates a second, rare enough to
// cost nothing.
constexpr qint64 kProgressEvery = 8192;
// Bytes gathered before they go to the server.
constexpr qsizetype kChunk = 1 << 18;

constexpr qint64 kEpochJulianDay = 2451545;  // 2000-01-01, where the server counts from

// Rows in COPY's binary format, sent in chunks so memory stays flat however large the file.
class CopyStream {
 public:
  CopyStream(PgConnection& connection, const char* sql, int fields)
      : connection_(connection), fields_(qToBigEndian(qint16(fields))) {
    connection_.copyBegin(sql);
    buffer_.reserve(kChunk + 4096);
    buffer_.append("PGCOPY\n\377\r\n\0", 11);
    put(qint32(0));  // flags
    put(qint32(0));  // header extension
  }
  ~CopyStream() {
    if (open_) connection_.copyAbort();
  }

  void beginRow() { append(&fields_, 2); }
  void null() { put(qint32(-1)); }
  void int64(qint64 value) {
    put(qint32(8));
    put(value);
  }
  void text(const QString& value) {
    const QByteArray bytes = value.toUtf8();
    put(qint32(bytes.size()));
    append(bytes.constData(), bytes.size());
  }
  void instant(const QDateTime& utc) {
    static const QDateTime epoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    int64(epoch.msecsTo(utc) * 1000);
  }
  // A field's value as the reader gives it: a QDate, a QString, a double, or none.
  void value(const QVariant& value) {
    switch (value.typeId()) {
      case QMetaType::QDate:
        put(qint32(4));
        put(qint32(value.toDate().toJulianDay() - kEpochJulianDay));
        return;
      case QMetaType::Double: {
        const double d = value.toDouble();
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        put(qint32(8));
        put(bits);
        return;
      }
      case QMetaType::QString:
        return text(value.toString());
      default:
        return null();
    }
  }
  void endRow() {
    if (buffer_.size() >= kChunk) flush();
  }
  void finish() {
    put(qint16(-1));
    flush();
    open_ = false;
    connection_.copyEnd();
  }

 private:
  PgConnection& connection_;
  qint16 fields_;
  QByteArray buffer_;
  bool open_ = true;

  template <typename T>
  void put(T value) {
    value = qToBigEndian(value);
    append(&value, sizeof value);
  }
  void append(const void* data, qsizetype size) {
    buffer_.append(static_cast<const char*>(data), size);
  }
  void flush() {
    connection_.copyPut(buffer_);
    buffer_.resize(0);
  }
};

class Progress {
 public:
  Progress(const MoveOptions& options, qint64 total) : options_(options), total_(total) {}
  void row() {
    if (++sent_ % kProgressEvery == 0 && options_.progress) options_.progress(sent_, total_);
  }
  void done() {
    if (options_.progress) options_.progress(sent_, total_);
  }

 private:
  const MoveOptions& options_;
  qint64 total_;
  qint64 sent_ = 0;
};

// Asked of the catalog: a login without the schema's USAGE can't look its names up.
constexpr const char* kInstalled =
    "SELECT count(*) = 3 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n"
    " ON n.oid = c.relnamespace WHERE n.nspname = 'sorvane'"
    " AND c.relname IN ('phb', 'phb_history', 'schema_version')";
// Only the owner may turn the history trigger off for the move and write the ids.
constexpr const char* kOwner =
    "SELECT rolsuper OR pg_has_role(oid, 'sorvane_owner', 'MEMBER') FROM pg_catalog.pg_roles"
    " WHERE rolname = current_user";

void checkServer(PgConnection& server) {
  if (!server.exec(kInstalled).value(0, 0).toBool())
    throw failures::serverNotInstalled(server.server());
  const PgResult owner = server.exec(kOwner);
  if (owner.rows() != 1 || !owner.value(0, 0).toBool())
    throw failures::moveNotOwner(server.login(), server.server());
  const PgResult format = server.exec("SELECT version FROM sorvane.schema_version");
  const int version = format.rows() == 1 ? format.value(0, 0).toInt() : 0;
  if (version != 1) throw failures::unknownServerFormat(server.server(), version);
}

// Sets the sequence of `table`'s id so that the next id it hands out is above `highest`.
void setSequencePast(PgConnection& server, const char* table, qint64 highest) {
  if (highest < 1) return;
  server.exec("SELECT setval(pg_catalog.pg_get_serial_sequence($1, 'id'), $2)",
              PgParams().add(QString::fromLatin1(table)).add(QVariant::fromValue<qint64>(highest)));
}

// Inside the move's transaction: the tables held against writes, found empty, the history
// trigger off and the sequences past every id the file used.
void prepareServer(PgConnection& server, const ResultsFileReader& file, bool keepHistory) {
  // Benches may read on; a write would wait for the move and then meet its records. The
  // trigger is off only inside this transaction, under this lock: for everyone else it
  // stays in force, and a killed move leaves it on.
  server.exec("LOCK TABLE sorvane.phb, sorvane.phb_history IN SHARE ROW EXCLUSIVE MODE");
  if (server
          .exec("SELECT EXISTS (SELECT FROM sorvane.phb) OR EXISTS (SELECT FROM "
                "sorvane.phb_history)")
          .value(0, 0)
          .toBool())
    throw failures::moveServerNotEmpty(server.server());
  server.exec("ALTER TABLE sorvane.phb DISABLE TRIGGER phb_history_log");
  // Before anything takes an id: COPY writes the ids given and leaves the sequences alone.
  setSequencePast(server, "sorvane.phb", file.highestIdUsed());
  setSequencePast(server, "sorvane.phb_history", keepHistory ? file.highestHistoryId() : 0);
}

qint64 copyRecords(PgConnection& server, ResultsFileReader& file, Progress& progress) {
  CopyStream copy(server,
                  "COPY sorvane.phb (id, 日期, 标识符, 样本数, pH均值) FROM STDIN (FORMAT binary)",
                  1 + phb::kFieldCount);
  qint64 copied = 0;
  Bookmark id = 0;
  RecordValues values;
  while (file.nextRecord(id, values)) {
    copy.beginRow();
    copy.int64(id);
    for (const QVariant& value : values) copy.value(value);
    copy.endRow();
    ++copied;
    progress.row();
  }
  copy.finish();
  return copied;
}

qint64 copyHistory(PgConnection& server, ResultsFileReader& file, Progress& progress) {
  CopyStream copy(server,
                  "COPY sorvane.phb_history (id, record_id, action, changed_at, changed_by, "
                  "before_日期, before_标识符, before_样本数, before_pH均值, "
                  "after_日期, after_标识符, after_样本数, after_pH均值) "
                  "FROM STDIN (FORMAT binary)",
                  5 + 2 * phb::kFieldCount);
  qint64 copied = 0;
  StoredHistoryRow row;
  while (file.nextHistoryRow(row)) {
    copy.beginRow();
    copy.int64(row.id);
    copy.int64(row.recordId);
    copy.text(row.action);
    copy.instant(row.changedAt);
    copy.text(row.changedBy);
    for (const QVariant& value : row.before) copy.value(value);
    for (const QVariant& value : row.after) copy.value(value);
    copy.endRow();
    ++copied;
    progress.row();
  }
  copy.finish();
  return copied;
}

}  // namespace

MoveReport moveFileToServer(const QString& conninfo, const QString& path,
                            const MoveOptions& options) {
  // The file first: one that is not a results file is told before any server is asked.
  ResultsFileReader file(path, options.shownPath);
  PgConnection server(conninfo);
  checkServer(server);

  MoveReport report;
  report.server = server.server();
  const qint64 historyTotal = options.keepHistory ? file.historyCount() : 0;
  Progress progress(options, file.recordCount() + historyTotal);

  // A large file takes longer than the timeout a bench's statements have.
  server.exec("SET statement_timeout = 0");
  server.exec("BEGIN ISOLATION LEVEL READ COMMITTED");
  prepareServer(server, file, options.keepHistory);
  report.records = copyRecords(server, file, progress);
  if (options.keepHistory) report.historyRows = copyHistory(server, file, progress);
  // The administrator's login, as the database knows it, and the time of the move.
  server.exec(
      "INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by, "
      "after_日期, after_标识符, after_样本数, after_pH均值) "
      "SELECT id, 'converted', now(), session_user, 日期, 标识符, 样本数, pH均值 "
      "FROM sorvane.phb ORDER BY id");
  server.exec("ALTER TABLE sorvane.phb ENABLE TRIGGER phb_history_log");
  server.exec("COMMIT");
  progress.done();
  return report;
}

}  // namespace sorvane::store
