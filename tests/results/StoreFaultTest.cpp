// Files that are not a usable results database, and faults while saving: each gives one
// StoreError and leaves the file exactly as it was.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <functional>

#include "results/RecordSet.h"
#include "results/StoreTestFiles.h"

namespace sorvane::results {
namespace {

using Kind = StoreError::Kind;
using testfiles::fileBytes;
using testfiles::TempDatabase;
using testfiles::writeBytes;

void execSql(const QString& path, const char* sql, int flags = SQLITE_OPEN_READWRITE) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

QByteArray randomBytes(int n) {
  QByteArray bytes(n, '\0');
  for (char& b : bytes) b = static_cast<char>(QRandomGenerator::global()->bounded(256));
  return bytes;
}

QByteArray accessHeader(const char* engine) {
  QByteArray bytes = randomBytes(4096);
  bytes.replace(0, 4, QByteArray("\x00\x01\x00\x00", 4));
  bytes.replace(4, 16, QByteArray(engine, 16));
  return bytes;
}

struct BadFile {
  const char* name;
  std::function<void(const QString& path)> make;  // leaves no file when empty
  Kind kind;
  int number;
};

class BadFileTest : public testing::TestWithParam<BadFile> {};

TEST_P(BadFileTest, OneClearErrorAndNotAByteChanged) {
  const BadFile& c = GetParam();
  QTemporaryDir dir;
  const QString path = databasePath(dir.path());
  if (c.make) c.make(path);
  const QByteArray before = fileBytes(path);
  const QStringList filesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

  for (const auto& open : std::vector<std::function<void()>>{[&] { RecordSet::open(path); },
                                                             [&] { Snapshot::open(path); }}) {
    try {
      open();
      ADD_FAILURE() << c.name << " opened";
    } catch (const StoreError& e) {
      EXPECT_EQ(e.kind(), c.kind) << c.name;
      EXPECT_EQ(e.number(), c.number) << c.name;
      EXPECT_FALSE(e.message().isEmpty());
    }
  }
  EXPECT_EQ(fileBytes(path), before) << c.name;
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), filesBefore) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    testing::Values(
        BadFile{"missing", {}, Kind::FileMissing, 3024},
        BadFile{"folder", [](const QString& p) { QDir().mkpath(p); }, Kind::FileMissing, 3024},
        BadFile{"empty", [](const QString& p) { writeBytes(p, {}); }, Kind::NotADatabase, 3343},
        BadFile{"random", [](const QString& p) { writeBytes(p, randomBytes(8192)); },
                Kind::NotADatabase, 3343},
        BadFile{"jet", [](const QString& p) { writeBytes(p, accessHeader("Standard Jet DB\0")); },
                Kind::JetDatabase, 3343},
        BadFile{"ace", [](const QString& p) { writeBytes(p, accessHeader("Standard ACE DB\0")); },
                Kind::JetDatabase, 3343},
        BadFile{"damaged",
                [](const QString& p) {
                  // A real header followed by noise where the schema should be.
                  QByteArray bytes = fileBytes(QStringLiteral(SORVANE_DATABASE_TEMPLATE));
                  bytes.replace(100, bytes.size() - 100, randomBytes(bytes.size() - 100));
                  writeBytes(p, bytes);
                },
                Kind::NotADatabase, 3343},
        BadFile{"no table",
                [](const QString& p) {
                  execSql(p, "CREATE TABLE results (x)",
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
                },
                Kind::TableMissing, 3078},
        BadFile{"no field",
                [](const QString& p) {
                  execSql(p, "CREATE TABLE phb (日期 TEXT, 标识符 TEXT, 样本数 REAL)",
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
                },
                Kind::FieldMissing, 3265}),
    [](const testing::TestParamInfo<BadFile>& info) {
      std::string name = info.param.name;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

Bookmark saveOne(RecordSet& rs, const QString& id) {
  rs.addNew();
  rs.setFieldText(QStringLiteral("日期"), QStringLiteral("2004/1/29"));
  rs.setFieldText(QStringLiteral("标识符"), id);
  rs.setFieldText(QStringLiteral("样本数"), QStringLiteral("5"));
  rs.setFieldText(QStringLiteral("pH均值"), QStringLiteral("7.26"));
  rs.update();
  return *rs.lastModified();
}

int errorNumber(const std::function<void()>& action) {
  try {
    action();
  } catch (const StoreError& e) {
    return e.number();
  }
  return 0;
}

TEST(StoreFaultTest, ReadOnlyFileBrowsesButSavingSaysWhy) {
  TempDatabase db;
  saveOne(*RecordSet::open(db.path()), "A");
  ASSERT_TRUE(QFile::setPermissions(db.path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
  const QByteArray before = fileBytes(db.path());

  auto rs = RecordSet::open(db.path());
  EXPECT_TRUE(rs->isReadOnly());
  EXPECT_EQ(rs->fieldText(QStringLiteral("标识符")), QStringLiteral("A"));
  rs->addNew();
  rs->setFieldText(QStringLiteral("标识符"), QStringLiteral("B"));
  EXPECT_EQ(errorNumber([&] { rs->update(); }), 3027);
  EXPECT_EQ(rs->editMode(), RecordSet::EditMode::Add);
  rs->cancelUpdate();
  EXPECT_EQ(errorNumber([&] { rs->deleteCurrent(); }), 3027);
  EXPECT_EQ(rs->absolutePosition(), 0);
  EXPECT_FALSE(Snapshot::open(db.path())->eof());
  EXPECT_EQ(fileBytes(db.path()), before);
}

TEST(StoreFaultTest, FileLockedByAnotherWriterWaitsThenSaysSo) {
  TempDatabase db;
  saveOne(*RecordSet::open(db.path()), "A");
  const QByteArray before = fileBytes(db.path());
  auto rs = RecordSet::open(db.path());

  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db.path().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM phb;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  rs->addNew();
  rs->setFieldText(QStringLiteral("标识符"), QStringLiteral("B"));
  EXPECT_EQ(errorNumber([&] { rs->update(); }), 3260);
  EXPECT_EQ(rs->editMode(), RecordSet::EditMode::Add);
  rs->cancelUpdate();
  EXPECT_EQ(errorNumber([&] { rs->deleteCurrent(); }), 3260);
  EXPECT_EQ(rs->absolutePosition(), 0);

  // A writer that has taken the whole file keeps even the opening out.
  ASSERT_EQ(sqlite3_exec(other, "ROLLBACK; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(errorNumber([&] { RecordSet::open(db.path()); }), 3260);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(fileBytes(db.path()), before);

  rs->addNew();
  rs->setFieldText(QStringLiteral("标识符"), QStringLiteral("B"));
  rs->update();
  EXPECT_EQ(rs->recordCount(), 2);
}

// A file system that fails writes on demand: "full" refuses every write that makes a file
// longer, the way a full disk does; "broken" fails every write to the database file.
enum class Fault { None, Full, Broken };
Fault gFault = Fault::None;
sqlite3_vfs* gRealVfs = nullptr;

struct FaultyFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool mainDb;
};

sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<FaultyFile*>(f)->real; }

int faultyWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
  sqlite3_int64 size = 0;
  real(f)->pMethods->xFileSize(real(f), &size);
  if (gFault == Fault::Full && offset + amount > size) return SQLITE_FULL;
  if (gFault == Fault::Broken && reinterpret_cast<FaultyFile*>(f)->mainDb)
    return SQLITE_IOERR_WRITE;
  return real(f)->pMethods->xWrite(real(f), data, amount, offset);
}

const sqlite3_io_methods kFaultyMethods = {
    1,
    [](sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); },
    [](sqlite3_file* f, void* data, int amount, sqlite3_int64 offset) {
      return real(f)->pMethods->xRead(real(f), data, amount, offset);
    },
    faultyWrite,
    [](sqlite3_file* f, sqlite3_int64 size) { return real(f)->pMethods->xTruncate(real(f), size); },
    [](sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); },
    [](sqlite3_file* f, sqlite3_int64* size) {
      return real(f)->pMethods->xFileSize(real(f), size);
    },
    [](sqlite3_file* f, int lock) { return real(f)->pMethods->xLock(real(f), lock); },
    [](sqlite3_file* f, int lock) { return real(f)->pMethods->xUnlock(real(f), lock); },
    [](sqlite3_file* f, int* out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); },
    [](sqlite3_file* f, int op, void* arg) {
      return real(f)->pMethods->xFileControl(real(f), op, arg);
    },
    [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); },
    [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
};

int faultyOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  auto* faulty = reinterpret_cast<FaultyFile*>(file);
  faulty->real = reinterpret_cast<sqlite3_file*>(faulty + 1);
  faulty->mainDb = flags & SQLITE_OPEN_MAIN_DB;
  faulty->base.pMethods = nullptr;
  const int rc = gRealVfs->xOpen(gRealVfs, name, faulty->real, flags, outFlags);
  if (faulty->real->pMethods) faulty->base.pMethods = &kFaultyMethods;
  return rc;
}

class FaultyDiskTest : public testing::TestWithParam<std::pair<Fault, int>> {
 protected:
  void SetUp() override {
    gRealVfs = sqlite3_vfs_find(nullptr);
    vfs_ = *gRealVfs;
    vfs_.zName = "faulty";
    vfs_.szOsFile = sizeof(FaultyFile) + gRealVfs->szOsFile;
    vfs_.xOpen = faultyOpen;
    sqlite3_vfs_register(&vfs_, 1);
  }
  void TearDown() override {
    gFault = Fault::None;
    sqlite3_vfs_register(gRealVfs, 1);
    sqlite3_vfs_unregister(&vfs_);
  }
  sqlite3_vfs vfs_{};
};

TEST_P(FaultyDiskTest, FailedSaveKeepsRecordPendingAndStoredRecordsIntact) {
  const auto [fault, number] = GetParam();
  TempDatabase db;
  saveOne(*RecordSet::open(db.path()), "A");
  const QByteArray before = fileBytes(db.path());
  auto rs = RecordSet::open(db.path());

  gFault = fault;
  EXPECT_EQ(errorNumber([&] { saveOne(*rs, "B"); }), number);
  EXPECT_EQ(rs->editMode(), RecordSet::EditMode::Add);
  EXPECT_EQ(rs->fieldText(QStringLiteral("标识符")), QStringLiteral("B"));
  EXPECT_EQ(errorNumber([&] { rs->moveFirst(), rs->deleteCurrent(); }), number);
  gFault = Fault::None;

  {
    auto again = RecordSet::open(db.path());  // finishes any interrupted save first
    EXPECT_EQ(again->recordCount(), 1);
    EXPECT_EQ(again->fieldText(QStringLiteral("标识符")), QStringLiteral("A"));
  }
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_FALSE(QFile::exists(db.path() + "-journal"));

  saveOne(*rs, "B");
  EXPECT_EQ(RecordSet::open(db.path())->recordCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyDiskTest,
                         testing::Values(std::pair{Fault::Full, 3026},
                                         std::pair{Fault::Broken, 3043}));

}  // namespace
}  // namespace sorvane::results

namespace sorvane::results {
namespace {

// The shipped table itself holds only what the fields can give back, whoever writes it.
TEST(StoreFaultTest, ShippedTableRefusesValuesItsFieldsCannotHold) {
  TempDatabase db;
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db.path().toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  struct Row {
    const char* date;
    const char* id;
    const char* count;
    bool accepted;
  };
  for (const Row& row : {Row{"2004-01-29", "一二三四五六七八九十一二", "5", true},
                         Row{nullptr, nullptr, nullptr, true},
                         Row{"2004-01-29", "一二三四五六七八九十一二三", "5", false},
                         Row{"2004/1/29", "A", "5", false}, Row{"2004-02-30", "A", "5", false},
                         Row{"2004-01-29", "A", "五", false}}) {
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(raw, "INSERT INTO phb VALUES (?1, ?2, ?3, 7.0)", -1, &insert, nullptr);
    int i = 1;
    for (const char* value : {row.date, row.id, row.count}) {
      if (value) sqlite3_bind_text(insert, i, value, -1, SQLITE_STATIC);
      ++i;
    }
    EXPECT_EQ(sqlite3_step(insert) == SQLITE_DONE, row.accepted) << (row.id ? row.id : "null");
    sqlite3_finalize(insert);
  }
  sqlite3_close(raw);
  auto rs = RecordSet::open(db.path());
  EXPECT_EQ(rs->recordCount(), 2);
  EXPECT_EQ(rs->field(QStringLiteral("日期")), QVariant(QDate(2004, 1, 29)));
  EXPECT_EQ(rs->field(QStringLiteral("样本数")), QVariant(5.0));
}

}  // namespace
}  // namespace sorvane::results
