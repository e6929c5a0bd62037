#include "store/sqlite/PhbFileWriter.h"

#include <QVariant>

#include "store/StoreFailures.h"
#include "store/sqlite/HistoryLog.h"
#include "store/sqlite/PhbTemplate.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"
#include "store/sqlite/SqliteTransaction.h"

namespace sorvane::store {

namespace {

template <typename T>
QVariant orNull(const std::optional<T>& value) {
  return value ? QVariant(*value) : QVariant();
}

SqliteConnection openEmpty(const QString& path) {
  SqliteConnection db(path, SqliteConnection::Access::ReadWrite);
  db.exec("PRAGMA journal_mode=OFF");
  db.exec("PRAGMA synchronous=OFF");
  return db;
}

}  // namespace

struct PhbFileWriter::Impl {
  explicit Impl(const QString& path)
      : db(openEmpty(path)), transaction(db, SqliteTransaction::Behaviour::Immediate) {
    const QByteArray schema = templateSql();
    if (schema.isEmpty()) throw failures::ioError(path);
    db.exec(schema.constData());
    insert = std::make_unique<SqliteStatement>(
        db, "INSERT INTO phb (日期, 标识符, 样本数, pH均值) VALUES (?1, ?2, ?3, ?4)");
  }

  SqliteConnection db;
  SqliteTransaction transaction;
  std::unique_ptr<SqliteStatement> insert;
};

PhbFileWriter::PhbFileWriter(const QString& path) : d_(std::make_unique<Impl>(path)) {}

PhbFileWriter::~PhbFileWriter() = default;

void PhbFileWriter::add(const PhbRecord& record) {
  SqliteStatement& insert = *d_->insert;
  insert.bind(1, orNull(record.date));
  insert.bind(2, orNull(record.identifier));
  insert.bind(3, orNull(record.sampleCount));
  insert.bind(4, orNull(record.mean));
  // Reset also when the step throws, so the statement is ready for the next record.
  struct Reset {
    SqliteStatement& s;
    ~Reset() { s.reset(); }
  } reset{insert};
  insert.step();
}

void PhbFileWriter::commit() {
  d_->insert.reset();
  HistoryLog(d_->db).convertedAll();
  d_->transaction.commit();
  d_->db.close();
}

}  // namespace sorvane::store
