// The store's SQLite wrapper on a copy of the empty results database.
#include <gtest/gtest.h>

#include <QDate>

#include "store/StoreError.h"
#include "store/StoreTestFiles.h"
#include "store/sqlite/DatabasePath.h"
#include "store/sqlite/PhbFile.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"
#include "store/sqlite/SqliteTransaction.h"

namespace sorvane::store {
namespace {

using Access = SqliteConnection::Access;
using Behaviour = SqliteTransaction::Behaviour;
using Type = SqliteStatement::ColumnType;

// The path itself: POSIX would open a doubled separator all the same.
TEST(SqliteTest, DatabasePathHasOneSeparatorBetweenFolderAndFile) {
  EXPECT_EQ(databasePath("/opt/sorvane"), "/opt/sorvane/phjz.mdb");
  EXPECT_EQ(databasePath("/opt/sorvane/"), "/opt/sorvane/phjz.mdb");
  EXPECT_EQ(databasePath("/"), "/phjz.mdb");
  EXPECT_EQ(databasePath("C:\\"), "C:\\phjz.mdb");
}

// A new file says which format it is, so a later build can tell it without guessing.
TEST(SqliteTest, NewFileCarriesTheCurrentFormat) {
  testfiles::TempDatabase file;
  EXPECT_EQ(testfiles::schema(file.path()).first(),
            QStringLiteral("format %1").arg(kCurrentFormat));
}

TEST(SqliteTest, BindsReadsBackByTypeAndCountsRows) {
  testfiles::TempDatabase file;
  SqliteConnection db(file.path(), Access::ReadWrite);
  SqliteStatement insert(db, "INSERT INTO phb VALUES (?1, ?2, ?3, ?4)");
  const QVariant values[] = {QDate(2004, 1, 29), QStringLiteral("O'Brien 一"), 2.5, QVariant()};
  for (int i = 0; i < 4; ++i) insert.bind(i + 1, values[i]);
  EXPECT_FALSE(insert.step());
  const std::int64_t id = db.lastInsertRowId();
  insert.reset();  // the bindings stay: the same row again
  EXPECT_FALSE(insert.step());
  EXPECT_EQ(db.lastInsertRowId(), id + 1);
  db.exec("UPDATE phb SET 样本数 = 3");
  EXPECT_EQ(db.changedRows(), 2);

  SqliteStatement read(db, "SELECT rowid, 日期, 标识符, 样本数, pH均值 FROM phb WHERE rowid = ?1");
  read.bindInt64(1, id);
  ASSERT_TRUE(read.step());
  EXPECT_EQ(read.columnInt64(0), id);
  EXPECT_EQ(read.columnType(1), Type::Text);
  EXPECT_EQ(read.columnText(1), QStringLiteral("2004-01-29"));
  EXPECT_EQ(read.columnText(2), QStringLiteral("O'Brien 一"));
  EXPECT_EQ(read.columnType(3), Type::Float);
  EXPECT_EQ(read.columnDouble(3), 3.0);
  EXPECT_EQ(read.columnType(4), Type::Null);
  read.reset();
  read.clearBindings();  // rowid = NULL matches nothing
  EXPECT_FALSE(read.step());
}

TEST(SqliteTest, ImmediateLocksAtOnceDeferredWaitsAndNeitherKeepsAnUncommittedRow) {
  testfiles::TempDatabase file;
  SqliteConnection mine(file.path(), Access::ReadWrite);
  SqliteConnection other(file.path(), Access::ReadWrite);
  {
    // A deferred transaction holds no lock before it reads: the other program still writes.
    SqliteTransaction reading(mine, Behaviour::Deferred);
    SqliteTransaction writing(other, Behaviour::Immediate);
    other.exec("INSERT INTO phb (标识符) VALUES ('B')");
    writing.commit();
  }
  {
    SqliteTransaction writing(mine, Behaviour::Immediate);
    mine.exec("INSERT INTO phb (标识符) VALUES ('A')");
    try {
      SqliteTransaction blocked(other, Behaviour::Immediate);
      ADD_FAILURE() << "a second writer got in";
    } catch (const StoreError& error) {
      EXPECT_EQ(error.kind(), StoreError::Kind::Locked);
    }
  }  // not committed: rolled back
  EXPECT_FALSE(mine.inTransaction());
  SqliteStatement count(other, "SELECT count(*) FROM phb");
  ASSERT_TRUE(count.step());
  EXPECT_EQ(count.columnInt64(0), 1);
}

}  // namespace
}  // namespace sorvane::store
