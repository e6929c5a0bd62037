// One results file shared with other programs and tools: row ids are never handed out twice
// in a file the build made, an earlier build's file is used as it is, a write over a record
// changed elsewhere is refused, and a write the file did not carry out is never reported as
// done.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "store/PhbFields.h"
#include "store/RecordSet.h"
#include "store/StoreFailures.h"
#include "store/StoreTestFiles.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store {
namespace {

using namespace testfiles;
using Access = SqliteConnection::Access;

const QString kId = QStringLiteral("标识符");

// What another tool runs on the file.
void otherTool(const QString& path, const char* sql) {
  SqliteConnection(path, Access::ReadWrite).exec(sql);
}

std::vector<Bookmark> rowIds(const QString& path) {
  SqliteConnection db(path, Access::ReadOnly);
  SqliteStatement ids(db, "SELECT rowid FROM phb ORDER BY rowid");
  std::vector<Bookmark> found;
  while (ids.step()) found.push_back(ids.columnInt64(0));
  return found;
}

struct IdCase {
  const char* name;
  bool earlierBuild;
  Bookmark savedAs;             // the id Sorvane's new record gets after record 3 is deleted
  std::vector<Bookmark> final;  // after another tool deletes the last row and inserts one
  friend void PrintTo(const IdCase& c, std::ostream* os) { *os << c.name; }
};

class RowIdTest : public testing::TestWithParam<IdCase> {};

TEST_P(RowIdTest, NewRecordsTakeIdsNoRecordHad) {
  const IdCase& c = GetParam();
  TempDatabase db;
  if (c.earlierBuild) makeEarlierBuildsFile(db.path());
  seedRecords(db.path(), {{.identifier = "A"}, {.identifier = "B"}, {.identifier = "C"}});
  const QStringList schemaBefore = testfiles::schema(db.path());

  auto records = RecordSet::open(db.path());
  records->moveLast();
  records->deleteCurrent();
  records->addNew();
  records->setFieldText(kId, "D");
  records->update();
  EXPECT_EQ(records->lastModified(), c.savedAs);
  records->setBookmark(c.savedAs);
  EXPECT_EQ(records->fieldText(kId), "D");  // the bookmark is the stored record's own id

  // Another tool deletes the last row and inserts without an id: SQLite's own numbering.
  otherTool(db.path(), "DELETE FROM phb WHERE rowid = (SELECT max(rowid) FROM phb)");
  otherTool(db.path(), "INSERT INTO phb (标识符) VALUES ('E')");
  EXPECT_EQ(rowIds(db.path()), c.final);
  EXPECT_EQ(testfiles::schema(db.path()), schemaBefore);  // never restructured
}

INSTANTIATE_TEST_SUITE_P(
    Files, RowIdTest,
    testing::Values(IdCase{"MadeByThisBuild", false, 4, {1, 2, 5}},
                    // Reused ids here are caught by the check before every write.
                    IdCase{"MadeByAnEarlierBuild", true, 3, {1, 2, 3}}),
    [](const testing::TestParamInfo<IdCase>& info) { return std::string(info.param.name); });

// Another program changes one value of the record shown, or only a value's type, while this
// one edits a different field: saving the edit, and deleting, are refused and write nothing.
struct OtherChange {
  const char* name;
  const char* sql;
  phb::Field edited;
  const char* typed;
  friend void PrintTo(const OtherChange& c, std::ostream* os) { *os << c.name; }
};

class ChangedElsewhereTest : public testing::TestWithParam<OtherChange> {};

TEST_P(ChangedElsewhereTest, SaveAndDeleteAreRefused) {
  const OtherChange& c = GetParam();
  TempDatabase db;
  seedRecords(db.path(), {{.identifier = "A"}});
  auto records = RecordSet::open(db.path());
  records->fieldText(kId);  // shown
  otherTool(db.path(), c.sql);
  const QByteArray changed = fileBytes(db.path());

  records->edit();
  records->setFieldText(phb::fieldNames()[c.edited], c.typed);
  EXPECT_EQ(errorNumber([&] { records->update(); }), legacy::kDataChanged);
  // The other tool wrote no history row: nobody is named.
  try {
    records->update();
  } catch (const StoreError& e) {
    EXPECT_EQ(e.message(), failures::changedElsewhere().message());
  }
  EXPECT_EQ(records->editMode(), RecordSet::EditMode::Edit);
  records->cancelUpdate();
  EXPECT_EQ(errorNumber([&] { records->deleteCurrent(); }), legacy::kDataChanged);
  EXPECT_TRUE(fileBytes(db.path()) == changed);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ChangedElsewhereTest,
    testing::Values(OtherChange{"Date", "UPDATE phb SET 日期 = '2001-02-03'", phb::Identifier, "B"},
                    OtherChange{"Identifier", "UPDATE phb SET 标识符 = 'Z'", phb::Mean, "6.5"},
                    OtherChange{"SampleCount", "UPDATE phb SET 样本数 = 9.0", phb::Date,
                                "2004-01-29"},
                    OtherChange{"Mean", "UPDATE phb SET pH均值 = 6.0", phb::SampleCount, "6"},
                    OtherChange{"IdentifierTypeOnly",
                                "UPDATE phb SET 标识符 = CAST(标识符 AS BLOB)", phb::Mean, "6.5"}),
    [](const testing::TestParamInfo<OtherChange>& info) { return std::string(info.param.name); });

// Another tool's trigger makes the file skip a write without an error: reported, the write
// stays pending and the file is left as it was.
TEST(SkippedWriteTest, IsReportedAndLeavesTheFileAsItWas) {
  using enum RecordSet::EditMode;
  for (const auto& [statement, pending] :
       {std::pair{"INSERT", Add}, std::pair{"UPDATE", Edit}, std::pair{"DELETE", None}}) {
    SCOPED_TRACE(statement);
    TempDatabase db;
    seedRecords(db.path(), {{.identifier = "A"}});
    otherTool(db.path(), (QByteArray("CREATE TRIGGER skip BEFORE ") + statement +
                          " ON phb BEGIN SELECT RAISE(IGNORE); END")
                             .constData());
    const QByteArray before = fileBytes(db.path());
    auto records = RecordSet::open(db.path());
    try {
      if (pending == None) {
        records->deleteCurrent();
      } else {
        pending == Add ? records->addNew() : records->edit();
        records->setFieldText(kId, "B");
        records->update();
      }
      ADD_FAILURE() << "reported as done";
    } catch (const StoreError& error) {
      EXPECT_EQ(error.kind(), StoreError::Kind::Io);
    }
    EXPECT_EQ(records->editMode(), pending);
    EXPECT_EQ(records->absolutePosition(), pending == Add ? -1 : 0);
    EXPECT_TRUE(fileBytes(db.path()) == before);
  }
}

}  // namespace
}  // namespace sorvane::store
