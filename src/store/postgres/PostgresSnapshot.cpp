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

}  // namespace sorvane::store
