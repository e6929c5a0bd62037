// The report's query: one read transaction held from opening to closing, so every row read
// is as the file stood when the snapshot opened, without copying the rows.

#include <array>
#include <memory>

#include "store/PhbFields.h"
#include "store/Snapshot.h"
#include "store/StoreFailures.h"
#include "store/sqlite/PhbFile.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"
#include "store/sqlite/SqliteTransaction.h"

namespace sorvane::store {

namespace {

class SqliteSnapshot final : public Snapshot {
 public:
  explicit SqliteSnapshot(const QString& path)
      : db_(std::make_unique<SqliteConnection>(openPhbFile(path, true))) {
    reading_ = std::make_unique<SqliteTransaction>(*db_, SqliteTransaction::Behaviour::Deferred);
    query_ = std::make_unique<SqliteStatement>(*db_, "SELECT 日期,标识符,样本数,pH均值 FROM phb");
    // The first step takes the read lock that fixes what the snapshot sees.
    advance();
  }

  ~SqliteSnapshot() override { close(); }

  bool eof() const override {
    requireOpen();
    return atEnd_;
  }

  void moveNext() override {
    requireOpen();
    if (atEnd_) throw failures::noCurrentRecord();
    advance();
  }

  QVariant field(const QString& name) const override {
    requireOpen();
    const int index = phb::fieldIndex(name);
    if (index < 0) throw failures::unknownField(name);
    if (atEnd_) throw failures::noCurrentRecord();
    return row_[index];
  }

  void close() override {
    query_.reset();
    // Nothing was written: ending the read transaction either way releases the file.
    reading_.reset();
    db_.reset();
  }

 private:
  void requireOpen() const {
    if (!db_) throw failures::notOpen();
  }

  void advance() {
    atEnd_ = !query_->step();
    if (atEnd_) return;
    for (int i = 0; i < phb::kFieldCount; ++i) row_[i] = columnValue(*query_, i, i);
  }

  std::unique_ptr<SqliteConnection> db_;
  std::unique_ptr<SqliteTransaction> reading_;
  std::unique_ptr<SqliteStatement> query_;
  std::array<QVariant, phb::kFieldCount> row_;
  bool atEnd_ = true;
};

}  // namespace

std::unique_ptr<Snapshot> Snapshot::open(const QString& path) {
  return std::make_unique<SqliteSnapshot>(path);
}

}  // namespace sorvane::store
