#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "results/RecordSet.h"
#include "results/StoreTestFiles.h"

namespace sorvane::results {
namespace {

using testfiles::TempDatabase;

const QString kDate = QStringLiteral("日期");
const QString kId = QStringLiteral("标识符");
const QString kCount = QStringLiteral("样本数");
const QString kMean = QStringLiteral("pH均值");

Bookmark save(RecordSet& rs, const QString& date, const QString& id, const QString& count,
              const QString& mean) {
  rs.addNew();
  rs.setFieldText(kDate, date);
  rs.setFieldText(kId, id);
  rs.setFieldText(kCount, count);
  rs.setFieldText(kMean, mean);
  rs.update();
  return *rs.lastModified();
}

// Fills a file with records "A", "B", "C"... and returns their bookmarks.
std::vector<Bookmark> fill(const QString& path, int n) {
  auto rs = RecordSet::open(path);
  std::vector<Bookmark> marks;
  for (int i = 0; i < n; ++i)
    marks.push_back(save(*rs, QStringLiteral("2004/1/%1").arg(i + 1), QString(QChar('A' + i)),
                         QString::number(i + 2), QStringLiteral("7.%1").arg(i + 1)));
  return marks;
}

int errorNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const StoreError& e) {
    return e.number();
  }
  return 0;
}

TEST(RecordSetTest, SavedRecordReadsBackTypedAndAsBoxText) {
  TempDatabase db;
  auto rs = RecordSet::open(db.path());
  rs->addNew();
  rs->setFieldText(kDate, QStringLiteral("2004/1/29"));
  rs->setFieldText(kCount, QStringLiteral("5"));
  rs->setFieldText(kMean, QStringLiteral("7.10"));
  EXPECT_EQ(rs->field(kMean), QVariant(QStringLiteral("7.10")));  // pending text as typed
  rs->setFieldText(kId, QStringLiteral("W-01"));
  rs->update();
  rs->setBookmark(*rs->lastModified());
  EXPECT_EQ(rs->field(kDate), QVariant(QDate(2004, 1, 29)));
  EXPECT_EQ(rs->field(QStringLiteral("标识符")), QVariant(QStringLiteral("W-01")));
  EXPECT_EQ(rs->field(kCount), QVariant(5.0));
  EXPECT_EQ(rs->field(QStringLiteral("PH均值")), QVariant(7.1));  // names ignore letter case
  EXPECT_EQ(rs->fieldText(kDate), QStringLiteral("2004/1/29"));
  EXPECT_EQ(rs->fieldText(kMean), QStringLiteral("7.1"));
  EXPECT_EQ(errorNumber([&] { rs->field(QStringLiteral("备注")); }), 3265);

  // An empty box saves no value.
  rs->edit();
  rs->setFieldText(kId, QString());
  rs->update();
  EXPECT_FALSE(rs->field(kId).isValid());
  EXPECT_EQ(rs->field(kCount), QVariant(5.0));  // untouched fields keep their values
}

// Moves over records A, B, C: each step's resulting position, BOF and EOF, or its error.
struct Step {
  const char* action;
  long position;
  bool bof = false;
  bool eof = false;
  int error = 0;
};

TEST(RecordSetTest, MovesDeletesAndPositions) {
  TempDatabase db;
  const std::vector<Bookmark> marks = fill(db.path(), 3);
  auto rs = RecordSet::open(db.path());
  EXPECT_EQ(rs->absolutePosition(), 0);  // opening makes the first record current
  const std::vector<Step> steps = {
      {"next", 1},
      {"next", 2},
      {"next", -1, false, true},
      {"next", -1, false, true, 3021},
      {"previous", 2},
      {"first", 0},
      {"previous", -1, true, false},
      {"previous", -1, true, false, 3021},
      {"next", 0},
      {"last", 2},
      {"bookmark B", 1},
      // Deleting B leaves no current record and neither BOF nor EOF; C then moves up.
      {"delete", -1},
      {"delete", -1, false, false, 3167},
      {"next", 1},
      {"delete", -1},
      {"previous", 0},
      // Deleting the last remaining record, then moving on, stands past the end.
      {"delete", -1},
      {"next", -1, true, true},
      {"bookmark B", -1, true, true, 3159},
      {"first", -1, true, true, 3021},
      {"delete", -1, true, true, 3021},
  };
  for (const Step& s : steps) {
    const std::string a = s.action;
    const int error = errorNumber([&] {
      if (a == "next") rs->moveNext();
      if (a == "previous") rs->movePrevious();
      if (a == "first") rs->moveFirst();
      if (a == "last") rs->moveLast();
      if (a == "delete") rs->deleteCurrent();
      if (a == "bookmark B") rs->setBookmark(marks[1]);
    });
    EXPECT_EQ(error, s.error) << a;
    EXPECT_EQ(rs->absolutePosition(), s.position) << a;
    EXPECT_EQ(rs->bof(), s.bof) << a;
    EXPECT_EQ(rs->eof(), s.eof) << a;
  }
  EXPECT_EQ(rs->recordCount(), 0);
  EXPECT_EQ(RecordSet::open(db.path())->recordCount(), 0);  // the deletes were saved
}

TEST(RecordSetTest, SavingKeepsPositionAndReportsLastModified) {
  TempDatabase db;
  const std::vector<Bookmark> marks = fill(db.path(), 3);
  auto rs = RecordSet::open(db.path());
  rs->moveNext();

  // A new record goes to the end; the record current before AddNew stays current.
  const Bookmark added = save(*rs, "2024/5/6", "D", "4", "6.5");
  EXPECT_EQ(rs->absolutePosition(), 1);
  EXPECT_EQ(rs->recordCount(), 4);
  rs->setBookmark(added);
  EXPECT_EQ(rs->absolutePosition(), 3);

  // Editing saves in place; LastModified names the edited record.
  rs->moveFirst();
  rs->edit();
  rs->setFieldText(kMean, "8");
  rs->update();
  EXPECT_EQ(rs->lastModified(), marks[0]);
  EXPECT_EQ(rs->absolutePosition(), 0);
  EXPECT_EQ(rs->fieldText(kMean), QStringLiteral("8"));

  // A move abandons a pending edit, as the old engine did.
  rs->edit();
  rs->setFieldText(kMean, "9");
  rs->moveNext();
  rs->movePrevious();
  EXPECT_EQ(rs->editMode(), RecordSet::EditMode::None);
  EXPECT_EQ(rs->fieldText(kMean), QStringLiteral("8"));

  // Re-opening reads the table again in table order, first record current.
  rs->close();
  EXPECT_FALSE(rs->isOpen());
  EXPECT_EQ(errorNumber([&] { rs->moveNext(); }), 3420);
  rs = RecordSet::open(db.path());
  QStringList ids;
  for (; !rs->eof(); rs->moveNext()) ids << rs->fieldText(kId);
  EXPECT_EQ(ids, (QStringList{"A", "B", "C", "D"}));
}

TEST(RecordSetTest, RefusedTextKeepsRecordPendingAndFileUnchanged) {
  TempDatabase db;
  fill(db.path(), 1);
  const QByteArray before = testfiles::fileBytes(db.path());
  auto rs = RecordSet::open(db.path());
  rs->addNew();
  rs->setFieldText(kDate, "2004/1/29");
  rs->setFieldText(kId, "A");
  rs->setFieldText(kCount, "五");
  rs->setFieldText(kMean, "7.2");
  EXPECT_EQ(errorNumber([&] { rs->update(); }), 3421);
  EXPECT_EQ(rs->editMode(), RecordSet::EditMode::Add);
  EXPECT_EQ(rs->fieldText(kCount), QStringLiteral("五"));
  EXPECT_EQ(testfiles::fileBytes(db.path()), before);

  rs->setFieldText(kCount, "5");
  rs->update();
  EXPECT_EQ(rs->recordCount(), 2);
}

TEST(RecordSetTest, IdentifierIsStoredVerbatim) {
  TempDatabase db;
  const QStringList ids = {QStringLiteral("O'Brien\"s"), QStringLiteral("a;b"),
                           QStringLiteral("');DELETE--"), QStringLiteral("' OR '1'='1"),
                           QStringLiteral("一二三四五六七八九十一二")};
  auto rs = RecordSet::open(db.path());
  for (const QString& id : ids) {
    rs->setBookmark(save(*rs, "2004/1/29", id, "5", "7"));
    EXPECT_EQ(rs->field(kId), QVariant(id));
  }
  rs->close();
  rs = RecordSet::open(db.path());
  for (const QString& id : ids) {
    EXPECT_EQ(rs->fieldText(kId), id);
    rs->moveNext();
  }
}

TEST(RecordSetTest, SnapshotSeesTheFileAsItStoodWhenOpened) {
  TempDatabase db;
  fill(db.path(), 2);
  auto rs = RecordSet::open(db.path());
  auto snapshot = Snapshot::open(db.path());

  // A save while the report reads waits briefly, then fails; the record stays pending.
  rs->addNew();
  rs->setFieldText(kId, "late");
  EXPECT_EQ(errorNumber([&] { rs->update(); }), 3260);
  EXPECT_EQ(rs->editMode(), RecordSet::EditMode::Add);

  QStringList seen;
  for (; !snapshot->eof(); snapshot->moveNext())
    seen << snapshot->field(kId).toString() + " " +
                snapshot->field(kDate).toDate().toString(Qt::ISODate) + " " +
                QString::number(snapshot->field(kMean).toDouble());
  EXPECT_EQ(seen, (QStringList{"A 2004-01-01 7.1", "B 2004-01-02 7.2"}));
  EXPECT_EQ(errorNumber([&] { snapshot->moveNext(); }), 3021);
  snapshot->close();

  rs->update();
  snapshot = Snapshot::open(db.path());
  int rows = 0;
  for (; !snapshot->eof(); snapshot->moveNext()) ++rows;
  EXPECT_EQ(rows, 3);
}

TEST(RecordSetTest, SavedRecordSurvivesKillAndCopyOfFileAlone) {
  TempDatabase db;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    try {
      auto rs = RecordSet::open(db.path());
      save(*rs, "2004/1/29", "killed", "5", "7.26");
    } catch (...) {
      _exit(1);
    }
    const char byte = 1;
    if (write(ready[1], &byte, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char byte = 0;
  const bool saved = read(ready[0], &byte, 1) == 1;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  ASSERT_TRUE(saved);

  QTemporaryDir elsewhere;
  const QString copy = databasePath(elsewhere.path());
  ASSERT_TRUE(QFile::copy(db.path(), copy));
  for (const QString& path : {copy, db.path()}) {
    auto rs = RecordSet::open(path);
    ASSERT_EQ(rs->recordCount(), 1);
    EXPECT_EQ(rs->fieldText(kId), QStringLiteral("killed"));
    EXPECT_EQ(rs->field(kMean), QVariant(7.26));
  }
}

TEST(RecordSetTest, DatabasePathInTheProgramFolder) {
  EXPECT_EQ(databasePath("/opt/sorvane"), QStringLiteral("/opt/sorvane/phjz.mdb"));
  EXPECT_EQ(databasePath("/"), QStringLiteral("/phjz.mdb"));
  EXPECT_EQ(databasePath("C:\\"), QStringLiteral("C:\\phjz.mdb"));
}

}  // namespace
}  // namespace sorvane::results
