#pragma once

// Opening phjz.mdb and reading table phb's values, shared by the record set and the report's
// snapshot.

#include <QString>
#include <QVariant>

#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store {

// True when saving into the file cannot work: the file is marked read-only (honoured even
// for an administrator, who could otherwise write it) or its folder, where the journal goes,
// cannot be written.
bool fileIsReadOnly(const QString& path);

// Opens an existing results database and checks table phb and its four fields. Before
// SQLite sees the file, its first bytes are checked, so that nothing that is not an SQLite
// database (an older Access file, random bytes, an empty file) is opened. Throws StoreError.
SqliteConnection openPhbFile(const QString& path, bool readOnly);

// The newest format, which new files carry in PRAGMA user_version: 1 is phb alone, 2 adds
// phb_last_id and its triggers, 3 adds phb_history (see database/phb.sql).
inline constexpr int kCurrentFormat = 3;

// True when the file keeps row ids from being handed out twice (table phb_last_id, from
// format 2 on); such a file's new records are inserted above it.
bool hasLastRowId(const SqliteConnection& db);

// The value of result column `column`, holding field `field`, as that field gives it back:
// a QDate, a QString, a double, or no value.
QVariant columnValue(const SqliteStatement& statement, int column, int field);

}  // namespace sorvane::store
