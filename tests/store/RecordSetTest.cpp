#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <functional>

#include "store/PhbFields.h"
#include "store/RecordSet.h"
#include "store/Snapshot.h"
#include "store/SqliteConnection.h"
#include "store/StoreTestFiles.h"

namespace sorvane::store {
namespace {

using namespace testfiles;
using Kind = StoreError::Kind;

const QString kId = QStringLiteral("标识符");
const QString kMean = QStringLiteral("pH均值");

Bookmark saveRecord(RecordSet& records, const QString& id) {
  records.addNew();
  const QStringList texts{"2004/1/29", id, "5", "7.26"};
  for (int i = 0; i < texts.size(); ++i) records.setFieldText(phb::fieldNames()[i], texts[i]);
  records.update();
  return *records.lastModified();
}

int errorNumber(const std::function<void()>& action) try {
  action();
  return 0;
} catch (const StoreError& e) {
  return e.number();
}

// Records "A", "B", "C"... with their bookmarks.
std::vector<Bookmark> fill(const QString& path, int n) {
  auto rs = RecordSet::open(path);
  std::vector<Bookmark> marks;
  for (int i = 0; i < n; ++i) marks.push_back(saveRecord(*rs, QString(QChar('A' + i))));
  return marks;
}

TEST(RecordSetTest, MovesDeletesAndPositions) {
  TempDatabase db;
  const std::vector<Bookmark> marks = fill(db.path(), 3);
  auto rs = RecordSet::open(db.path());
  EXPECT_EQ(rs->absolutePosition(), 0);  // opening makes the first record current
  // Over A, B, C: each step's position, BOF, EOF and error; no step means "go to B's
  // bookmark". Deleting leaves no record current and neither BOF nor EOF until the next move.
  const auto next = &RecordSet::moveNext, prev = &RecordSet::movePrevious,
             first = &RecordSet::moveFirst, last = &RecordSet::moveLast,
             del = &RecordSet::deleteCurrent, toB = decltype(next){};
  int n = 0;
  for (const auto& [step, position, bof, eof, error] :
       std::vector<std::tuple<decltype(next), long, bool, bool, int>>{
           {next, 1, 0, 0, 0},
           {next, 2, 0, 0, 0},
           {next, -1, 0, 1, 0},
           {next, -1, 0, 1, legacy::kNoCurrentRecord},
           {prev, 2, 0, 0, 0},
           {first, 0, 0, 0, 0},
           {prev, -1, 1, 0, 0},
           {prev, -1, 1, 0, legacy::kNoCurrentRecord},
           {last, 2, 0, 0, 0},
           {toB, 1, 0, 0, 0},
           {del, -1, 0, 0, 0},
           {del, -1, 0, 0, legacy::kRecordDeleted},
           {next, 1, 0, 0, 0},
           {del, -1, 0, 0, 0},
           {prev, 0, 0, 0, 0},
           {del, -1, 0, 0, 0},
           {next, -1, 1, 1, 0},
           {toB, -1, 1, 1, legacy::kInvalidBookmark},
           {first, -1, 1, 1, legacy::kNoCurrentRecord},
           {del, -1, 1, 1, legacy::kNoCurrentRecord}}) {
    const int got = errorNumber([&] { step ? ((*rs).*step)() : rs->setBookmark(marks[1]); });
    EXPECT_EQ(std::tuple(got, rs->absolutePosition(), rs->bof(), rs->eof()),
              std::tuple(error, position, bof, eof))
        << ++n;
  }
  EXPECT_EQ(RecordSet::open(db.path())->recordCount(), 0);  // the deletes were saved
}

TEST(RecordSetTest, SavingConvertsKeepsPositionAndReportsLastModified) {
  TempDatabase db;
  const std::vector<Bookmark> marks = fill(db.path(), 3);
  auto rs = RecordSet::open(db.path());
  rs->moveNext();
  const Bookmark added = saveRecord(*rs, "D");
  EXPECT_EQ(rs->absolutePosition(), 1);  // the record current before AddNew stays current
  rs->setBookmark(added);
  EXPECT_EQ(rs->absolutePosition(), 3);  // and the new one is at the end
  EXPECT_EQ(rs->field("日期"), QVariant(QDate(2004, 1, 29)));
  EXPECT_EQ(rs->field("PH均值"), QVariant(7.26));  // names ignore letter case
  EXPECT_EQ(rs->fieldText("日期"), "2004/1/29");
  EXPECT_EQ(errorNumber([&] { rs->field("备注"); }), legacy::kItemNotFound);

  rs->moveFirst();  // an edit saves in place: an emptied box as no value, the rest untouched
  rs->edit();
  rs->setFieldText(kId, "");
  rs->setFieldText(kMean, "8.10");
  rs->update();
  EXPECT_EQ(rs->lastModified(), marks[0]);
  EXPECT_EQ(rs->absolutePosition(), 0);
  EXPECT_FALSE(rs->field(kId).isValid());
  EXPECT_EQ(rs->fieldText(kMean), "8.1");
  EXPECT_EQ(rs->field("样本数"), QVariant(5.0));

  rs->edit();  // a move abandons a pending edit
  rs->setFieldText(kMean, "9");
  rs->moveNext();
  rs->movePrevious();
  EXPECT_EQ(rs->fieldText(kMean), "8.1");
}

TEST(RecordSetTest, IdentifierStoredVerbatimUpToTwelveCharacters) {
  TempDatabase db;
  const QStringList ids = {"O'Brien\"s", "a;b", "');DELETE--", "' OR '1'='1",
                           QStringLiteral("一二三四五六七八九十一二")};
  auto rs = RecordSet::open(db.path());
  for (const QString& id : ids) saveRecord(*rs, id);
  EXPECT_EQ(errorNumber([&] { saveRecord(*rs, ids.last() + "三"); }),
            legacy::kFieldTooSmall);  // 13 characters
  rs = RecordSet::open(db.path());
  QStringList stored;
  for (; !rs->eof(); rs->moveNext()) stored << rs->fieldText(kId);
  EXPECT_EQ(stored, ids);
}

TEST(RecordSetTest, SnapshotSeesTheFileAsItStoodWhenOpened) {
  TempDatabase db;
  fill(db.path(), 2);
  auto rs = RecordSet::open(db.path());
  auto snapshot = Snapshot::open(db.path());
  // A save while the report reads waits briefly, then fails and stays pending.
  EXPECT_EQ(errorNumber([&] { saveRecord(*rs, "late"); }), legacy::kLocked);
  QStringList seen;
  for (; !snapshot->eof(); snapshot->moveNext()) seen << snapshot->field(kId).toString();
  EXPECT_EQ(seen, (QStringList{"A", "B"}));
  snapshot->close();
  rs->update();  // the record was still pending
  EXPECT_EQ(rs->recordCount(), 3);
}

TEST(RecordSetTest, SavedRecordSurvivesKillAndCopyOfFileAlone) {
  TempDatabase db;
  const pid_t child = fork();
  if (child == 0) {  // killed the moment Update returns, with the record set still open
    try {
      auto rs = RecordSet::open(db.path());
      saveRecord(*rs, "killed");
      raise(SIGKILL);
    } catch (...) {
    }
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  QTemporaryDir elsewhere;  // in a copy of the file alone, as a user might take it away
  ASSERT_TRUE(QFile::copy(db.path(), elsewhere.filePath("phjz.mdb")));
  EXPECT_EQ(RecordSet::open(elsewhere.filePath("phjz.mdb"))->fieldText(kId), "killed");
}

// A connection of another program that has run the SQL.
std::unique_ptr<SqliteConnection> otherProgram(const QString& path, const char* sql) {
  auto db = std::make_unique<SqliteConnection>(path, SqliteConnection::Access::ReadWrite);
  db->exec(sql);
  return db;
}

QByteArray randomBytes(int n, QByteArray header = {}) {
  while (header.size() < n) header += char(QRandomGenerator::global()->bounded(256));
  return header;
}

// A file that cannot be used, or a save it refuses, gives one StoreError and leaves the file
// and its folder as they were. A file with one record, replaced by the bytes (when not null)
// or changed by the SQL, whose connection stays open for a write lock.
enum class Hold { Nothing, Remove, ReadOnly, WriteLock, FullDisk };
struct BadFile {
  const char* name;
  Kind kind;
  QByteArray bytes;
  const char* sql = nullptr;
  Hold hold = Hold::Nothing;
};

class BadFileTest : public testing::TestWithParam<BadFile> {};

TEST_P(BadFileTest, OneClearErrorAndNotAByteChanged) {
  const BadFile& c = GetParam();
  TempDatabase db;
  saveRecord(*RecordSet::open(db.path()), "A");
  if (!c.bytes.isNull()) writeBytes(db.path(), c.bytes);
  if (c.hold == Hold::Remove) QFile::remove(db.path());
  if (c.hold == Hold::ReadOnly) QFile::setPermissions(db.path(), QFileDevice::ReadOwner);
  auto other = c.sql ? otherProgram(db.path(), c.sql) : nullptr;
  if (c.hold != Hold::WriteLock) other.reset();
  const QByteArray before = fileBytes(db.path());
  const QStringList filesBefore = QDir(db.folder()).entryList(QDir::AllEntries | QDir::Hidden);

  // In a child, whose file size limit stands in for a full disk. It exits with the error's
  // kind + 1, and 100 more when the failure held: a refused save left its record pending and
  // the file browsable, or the report's query refused the file the same way.
  const pid_t child = fork();
  if (child == 0) {
    int kind = -1;
    bool held = false;
    if (c.hold == Hold::FullDisk) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{rlim_t(before.size()), rlim_t(before.size())};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    try {
      auto rs = RecordSet::open(db.path());
      const bool browses = rs->fieldText(kId) == "A";
      try {
        saveRecord(*rs, "B");
      } catch (const StoreError& e) {
        kind = int(e.kind());
        held = browses && rs->editMode() == RecordSet::EditMode::Add && rs->fieldText(kId) == "B";
      }
    } catch (const StoreError& e) {
      kind = int(e.kind());
      held = errorNumber([&] { Snapshot::open(db.path()); }) == e.number();
    }
    _exit(kind + 1 + (held ? 100 : 0));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), int(c.kind) + 101) << "kind + 1, + 100 if held";
  other.reset();
  EXPECT_TRUE(fileBytes(db.path()) == before) << "the file changed";
  EXPECT_EQ(QDir(db.folder()).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    testing::Values(BadFile{"missing", Kind::FileMissing, {}, nullptr, Hold::Remove},
                    BadFile{"empty", Kind::NotADatabase, QByteArray("")},
                    BadFile{"random", Kind::NotADatabase, randomBytes(8192)},
                    BadFile{"jet", Kind::JetDatabase,
                            randomBytes(4096, QByteArray("\0\1\0\0Standard Jet DB\0", 20))},
                    BadFile{"damaged",
                            Kind::NotADatabase,  // a real header, noise where the schema should be
                            randomBytes(8192, fileBytes(SORVANE_DATABASE_TEMPLATE).left(100))},
                    BadFile{"no_table", Kind::TableMissing, {}, "ALTER TABLE phb RENAME TO x"},
                    BadFile{"no_field", Kind::FieldMissing, {}, "ALTER TABLE phb DROP pH均值"},
                    BadFile{"read_only", Kind::ReadOnly, {}, nullptr, Hold::ReadOnly},
                    BadFile{"locked", Kind::Locked, {}, "BEGIN IMMEDIATE", Hold::WriteLock},
                    BadFile{"disk_full", Kind::Io, {}, nullptr, Hold::FullDisk}),
    [](const testing::TestParamInfo<BadFile>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::store
