#include "store/sqlite/SqliteTransaction.h"

#include <sqlite3.h>

#include "store/sqlite/SqliteConnection.h"

namespace sorvane::store {

SqliteTransaction::SqliteTransaction(SqliteConnection& connection, Behaviour behaviour)
    : connection_(connection) {
  connection_.exec(behaviour == Behaviour::Immediate ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
  open_ = true;
}

SqliteTransaction::~SqliteTransaction() {
  // After a failed write SQLite may have rolled back already; then this does nothing.
  if (open_ && connection_.inTransaction())
    sqlite3_exec(connection_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::commit() {
  connection_.exec("COMMIT");
  open_ = false;
}

}  // namespace sorvane::store
