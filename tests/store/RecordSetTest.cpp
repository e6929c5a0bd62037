#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <functional>

#include "store/PhbFields.h"
#include "store/RecordSet.h"
#include "store/Snapshot.h"
#include "store/StoreTestFiles.h"
#include "store/sqlite/SqliteConnection.h"

namespace sorvane::store {
namespace {

using namespace testfiles;
using Kind = StoreError::Kind;

const QString kId = QStringLiteral("标识符");

// Saves a new record through the record set under test.
Bookmark saveRecord(RecordSet& records, const QString& id) {
  records.addNew();
  const QStringList texts{"2004/1/29", id, "5", "7.26"};
  for (int i = 0; i < phb::kFieldCount; ++i) records.setFieldText(phb::fieldNames()[i], texts[i]);
  records.update();
  return *records.lastModified();
}

TEST(RecordSetTest, SavedRecordSurvivesKillAndCopyOfFileAlone) {
  TempDatabase db;
  ASSERT_TRUE(diesKilled([&] {  // the moment Update returns, with the record set still open
    const auto rs = RecordSet::open(db.path());
    saveRecord(*rs, "killed");
    raise(SIGKILL);
  }));
  QTemporaryDir elsewhere;  // in a copy of the file alone, as a user might take it away
  ASSERT_TRUE(QFile::copy(db.path(), elsewhere.filePath("phjz.mdb")));
  EXPECT_EQ(RecordSet::open(elsewhere.filePath("phjz.mdb"))->fieldText(kId), "killed");
}

QByteArray randomBytes(int n, QByteArray header = {}) {
  while (header.size() < n) header += char(QRandomGenerator::global()->bounded(256));
  return header;
}

// A file that cannot be used, or a save it refuses, gives one StoreError and leaves the file
// and its folder as they were. The file holds one record; then the bytes (when not null)
// replace it, or another program runs the SQL and keeps its connection for a write lock.
enum class Hold { Nothing, Remove, ReadOnly, WriteLock, FullDisk };
struct BadFile {
  const char* name;
  Kind kind;
  QByteArray bytes;
  const char* sql = nullptr;
  Hold hold = Hold::Nothing;
};

// What the child saw: the error's kind, and whether the failure held (a refused save left
// its record pending and the file browsable, or the report's query refused the file the
// same way).
struct Outcome {
  int kind = -1;
  bool held = false;
};

class BadFileTest : public testing::TestWithParam<BadFile> {};

TEST_P(BadFileTest, OneClearErrorAndNotAByteChanged) {
  const BadFile& c = GetParam();
  TempDatabase db;
  seedRecords(db.path(), {{.identifier = "A"}});
  if (!c.bytes.isNull()) writeBytes(db.path(), c.bytes);
  if (c.hold == Hold::Remove) QFile::remove(db.path());
  if (c.hold == Hold::ReadOnly) QFile::setPermissions(db.path(), QFileDevice::ReadOwner);
  std::unique_ptr<SqliteConnection> other;
  if (c.sql) {
    other = std::make_unique<SqliteConnection>(db.path(), SqliteConnection::Access::ReadWrite);
    other->exec(c.sql);
  }
  if (c.hold != Hold::WriteLock) other.reset();
  const QByteArray before = fileBytes(db.path());
  const QStringList filesBefore = QDir(db.folder()).entryList(QDir::AllEntries | QDir::Hidden);

  // In a child, whose file size limit stands in for a full disk; it reports through a pipe.
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t child = fork();
  if (child == 0) {
    Outcome outcome;
    if (c.hold == Hold::FullDisk) {
      signal(SIGXFSZ, SIG_IGN);
      // Below the journal's first page, whatever the save touches: the first write fails.
      const rlimit limit{rlim_t(1024), rlim_t(1024)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    try {
      auto rs = RecordSet::open(db.path());
      const bool browses = rs->fieldText(kId) == "A";
      try {
        saveRecord(*rs, "B");
      } catch (const StoreError& e) {
        outcome = {int(e.kind()), browses && rs->editMode() == RecordSet::EditMode::Add &&
                                      rs->fieldText(kId) == "B"};
      }
    } catch (const StoreError& e) {
      outcome = {int(e.kind()), errorNumber([&] { Snapshot::open(db.path()); }) == e.number()};
    }
    (void)!write(channel[1], &outcome, sizeof outcome);
    _exit(0);
  }
  close(channel[1]);
  Outcome outcome;
  EXPECT_EQ(read(channel[0], &outcome, sizeof outcome), ssize_t(sizeof outcome));
  close(channel[0]);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(outcome.kind, int(c.kind));
  EXPECT_TRUE(outcome.held);
  other.reset();
  EXPECT_TRUE(fileBytes(db.path()) == before) << "the file changed";
  EXPECT_EQ(QDir(db.folder()).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    testing::Values(BadFile{"Missing", Kind::FileMissing, {}, nullptr, Hold::Remove},
                    BadFile{"Empty", Kind::NotADatabase, QByteArray("")},
                    BadFile{"Jet", Kind::JetDatabase,
                            randomBytes(4096, QByteArray("\0\1\0\0Standard Jet DB\0", 20))},
                    BadFile{"Damaged",
                            Kind::NotADatabase,  // a real header, noise where the schema should be
                            randomBytes(8192, fileBytes(SORVANE_DATABASE_TEMPLATE).left(100))},
                    BadFile{"NoTable", Kind::TableMissing, {}, "ALTER TABLE phb RENAME TO x"},
                    BadFile{"NoField", Kind::FieldMissing, {}, "ALTER TABLE phb DROP pH均值"},
                    BadFile{"ReadOnly", Kind::ReadOnly, {}, nullptr, Hold::ReadOnly},
                    BadFile{"Locked", Kind::Locked, {}, "BEGIN IMMEDIATE", Hold::WriteLock},
                    BadFile{"DiskFull", Kind::Io, {}, nullptr, Hold::FullDisk}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::store
