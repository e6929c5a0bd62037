// The store's SQLite wrapper on a copy of the empty results database.
#include <gtest/gtest.h>

#include <QDate>

#include "store/SqliteConnection.h"
#include "store/SqliteStatement.h"
#include "store/SqliteTransaction.h"
#include "store/StoreError.h"
#include "store/StoreTestFiles.h"

namespace sorvane::store {
namespace {

using Access = SqliteConnection::Access;
using Behaviour = SqliteTransaction::Behaviour;
using Type = SqliteStatement::ColumnType;

long rows(const SqliteConnection& db) {
  SqliteStatement count(db, "SELECT count(*) FROM phb");
  count.step();
  return static_cast<long>(count.columnInt64(0));
}

TEST(SqliteTest, BindsReadsBackAndCountsRows) {
  testfiles::TempDatabase file;
  SqliteConnection db(file.path(), Access::ReadWrite);
  SqliteStatement insert(db, "INSERT INTO phb VALUES (?1, ?2, ?3, ?4)");
  insert.bind(1, QDate(2004, 1, 29));
  insert.bind(2, QStringLiteral("O'Brien 一"));
  insert.bind(3, 2.5);
  insert.bind(4, QVariant());
  EXPECT_FALSE(insert.step());
  const std::int64_t id = db.lastInsertRowId();

  SqliteStatement read(db, "SELECT rowid, 日期, 标识符, 样本数, pH均值 FROM phb");
  ASSERT_TRUE(read.step());
  EXPECT_EQ(read.columnInt64(0), id);
  EXPECT_EQ(read.columnType(1), Type::Text);
  EXPECT_EQ(read.columnText(1), QStringLiteral("2004-01-29"));
  EXPECT_EQ(read.columnText(2), QStringLiteral("O'Brien 一"));
  EXPECT_EQ(read.columnType(3), Type::Float);
  EXPECT_EQ(read.columnDouble(3), 2.5);
  EXPECT_EQ(read.columnType(4), Type::Null);
  EXPECT_FALSE(read.step());

  db.exec("UPDATE phb SET 样本数 = 3");
  EXPECT_EQ(db.changedRows(), 1);
  db.exec("DELETE FROM phb WHERE rowid = -1");
  EXPECT_EQ(db.changedRows(), 0);
}

TEST(SqliteTest, ResetKeepsTheBindingsAndClearingThemIsSeparate) {
  testfiles::TempDatabase file;
  SqliteConnection db(file.path(), Access::ReadOnly);
  SqliteStatement echo(db, "SELECT ?1");
  echo.bind(1, QStringLiteral("x"));
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(echo.step());
    EXPECT_EQ(echo.columnText(0), QStringLiteral("x")) << run;
    echo.reset();
  }
  echo.clearBindings();
  ASSERT_TRUE(echo.step());
  EXPECT_EQ(echo.columnType(0), Type::Null);
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
  EXPECT_EQ(rows(other), 1);
}

}  // namespace
}  // namespace sorvane::store
