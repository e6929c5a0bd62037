#include "store/sqlite/SqliteConnection.h"

#include <sqlite3.h>

#include <QDate>
#include <QFileInfo>
#include <utility>

#include "store/StoreFailures.h"

namespace sorvane::store {

namespace {

// Long enough to ride out another program's single save, short enough that the user is
// told about a file held open elsewhere without a long freeze.
constexpr int kBusyTimeoutMs = 1500;

}  // namespace

SqliteConnection::SqliteConnection(const QString& path, Access access) : path_(path) {
  const bool readOnly = access == Access::ReadOnly;
  // An absolute path never reads as a "file:" URI. No SQLITE_OPEN_CREATE: a missing file
  // must stay missing rather than turn into an empty database.
  const QByteArray file = QFileInfo(path).absoluteFilePath().toUtf8();
  const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  const int rc = sqlite3_open_v2(file.constData(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const int code = db_ ? sqlite3_extended_errcode(db_) : rc;
    close();
    if ((code & 0xff) == SQLITE_CANTOPEN) throw failures::fileMissing(path);
    if ((code & 0xff) == SQLITE_NOTADB) throw failures::notADatabase(path);
    throw failures::ioError(path);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // The rollback journal the file was made with stays; FULL makes each commit reach the
  // disk before Update returns, so a copy of the file alone after closing has every record.
  try {
    if (!readOnly) exec("PRAGMA synchronous=FULL");
  } catch (...) {
    close();  // no destructor runs for a constructor that throws
    throw;
  }
}

SqliteConnection::~SqliteConnection() { close(); }

SqliteConnection::SqliteConnection(SqliteConnection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)) {}

SqliteConnection& SqliteConnection::operator=(SqliteConnection&& other) noexcept {
  if (this != &other) {
    close();
    db_ = std::exchange(other.db_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

void SqliteConnection::close() {
  // Statements are owned and finalized by their users first; v2 copes if one is left.
  if (db_) sqlite3_close_v2(std::exchange(db_, nullptr));
}

void SqliteConnection::exec(const char* sql) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(sqlite3_extended_errcode(db_));
}

std::int64_t SqliteConnection::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }

int SqliteConnection::changedRows() const { return sqlite3_changes(db_); }

bool SqliteConnection::inTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

void SqliteConnection::fail(int resultCode) const {
  switch (resultCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      throw failures::locked(path_);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:  // the journal cannot be made beside the file
      throw failures::readOnly(path_);
    case SQLITE_FULL:
      throw failures::diskFull(path_);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      throw failures::notADatabase(path_);
    case SQLITE_CONSTRAINT:
      throw failures::constraint(db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString());
    default:
      throw failures::ioError(path_);
  }
}

}  // namespace sorvane::store
