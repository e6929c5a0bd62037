// Converting an Access phjz.mdb in place and into a new file: every record arrives, the
// original is kept byte for byte, a refusal changes no file, and a process killed at any
// step leaves a folder that opens.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>

#include "store/History.h"
#include "store/JetConversion.h"
#include "store/PhbFields.h"
#include "store/Snapshot.h"
#include "store/SqliteConnection.h"
#include "store/SqliteStatement.h"
#include "store/StoreError.h"
#include "store/StoreTestFiles.h"
#include "support/JetWriter.h"

namespace sorvane::store {
namespace {

using testsupport::jetDays;
using testsupport::JetRow;
using testsupport::JetTable;
using testsupport::JetType;
using testsupport::JetVersion;
const testsupport::JetValue kNone = std::monostate{};

std::string formatName(JetVersion v) { return v == JetVersion::Jet3 ? "Jet3" : "Jet4"; }

JetTable phb(std::vector<JetRow> rows) {
  return {QStringLiteral("phb"),
          {{QStringLiteral("日期"), JetType::DateTime},
           {QStringLiteral("标识符"), JetType::Text, 20},
           {QStringLiteral("样本数"), JetType::Integer},
           {QStringLiteral("pH均值"), JetType::Double}},
          std::move(rows),
          {}};
}

// A results file as years of use leave it: thousands of records, nulls in every field,
// dates from 1900 to 2060, and rows Jet moved when they were edited.
JetTable yearsOfResults(int count) {
  std::vector<JetRow> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back({jetDays(1900 + i % 161, 1 + i % 12, 1 + i % 28),
                    QStringLiteral("东湖%1").arg(i), std::int64_t(1 + i % 30),
                    4.0 + (i % 700) / 100.0});
    if (i % 11 == 3) rows.back()[size_t(i % 4)] = kNone;
  }
  JetTable table = phb(rows);
  table.movedRows = {0, 7, size_t(count / 2), size_t(count - 1)};
  return table;
}

// The expected value of each field of a written row, as the store gives it back.
QVariant expected(const JetRow& row, int field) {
  const testsupport::JetValue& v = row[size_t(field)];
  if (std::holds_alternative<std::monostate>(v)) return {};
  if (field == phb::Date) {
    return QDate(1899, 12, 30).addDays(qint64(std::get<double>(v)));
  }
  if (field == phb::Identifier) return std::get<QString>(v);
  if (field == phb::SampleCount) return double(std::get<std::int64_t>(v));
  return std::get<double>(v);
}

QByteArray bytesOf(const QString& path) { return testfiles::fileBytes(path); }

// Every file in the folder, hidden ones too, by name with its checksum.
std::map<QString, QByteArray> folderState(const QString& folder) {
  std::map<QString, QByteArray> state;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
    state[name] = QCryptographicHash::hash(bytesOf(dir.filePath(name)), QCryptographicHash::Sha256);
  return state;
}

// Checks that `path` holds exactly the rows of `table`, in order.
void expectRecords(const QString& path, const JetTable& table) {
  const std::unique_ptr<Snapshot> records = Snapshot::open(path);
  for (size_t i = 0; i < table.rows.size(); ++i, records->moveNext()) {
    ASSERT_FALSE(records->eof()) << "record " << i + 1;
    for (int f = 0; f < phb::kFieldCount; ++f)
      ASSERT_EQ(records->field(phb::fieldNames()[f]), expected(table.rows[i], f))
          << "record " << i + 1 << " field " << f;
  }
  EXPECT_TRUE(records->eof());
}

// The structure SQLite keeps for a file: every object's SQL.
QStringList structure(const QString& path) {
  SqliteConnection db(path, SqliteConnection::Access::ReadOnly);
  SqliteStatement objects(db,
                          "SELECT type || ' ' || name || ' ' || ifnull(sql, '') "
                          "FROM sqlite_master ORDER BY type, name");
  QStringList all;
  while (objects.step()) all << objects.columnText(0);
  return all;
}

std::optional<StoreError> failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const StoreError& error) {
    return error;
  }
  return std::nullopt;
}

class Conversion : public testing::TestWithParam<JetVersion> {
 protected:
  QString path() const { return dir_.filePath(QStringLiteral("phjz.mdb")); }
  QString kept(int attempt = 1) const { return keptOriginalName(path(), attempt); }
  QTemporaryDir dir_;
};

TEST_P(Conversion, CarriesEveryRecordOverAndKeepsTheOriginal) {
  const JetTable table = yearsOfResults(3000);
  testsupport::writeJetFile(path(), GetParam(), table);
  const QByteArray original = bytesOf(path());
  // An earlier backup of another file keeps its name; the original takes the next one.
  testfiles::writeBytes(kept(), "an older backup");

  std::vector<std::pair<qint64, qint64>> progress;
  const auto done = convertOldResultsFile(
      path(), {[&](qint64 stored, qint64 total) { progress.emplace_back(stored, total); }, {}});
  ASSERT_TRUE(done);
  EXPECT_EQ(done->records, 3000);
  EXPECT_EQ(done->keptOriginal, kept(2));
  EXPECT_EQ(bytesOf(kept(2)), original);
  EXPECT_EQ(bytesOf(kept()), "an older backup");
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), std::make_pair(qint64(3000), qint64(3000)));

  expectRecords(path(), table);
  // Every record's trail starts with its conversion, with the values it was given.
  for (const Bookmark id : {Bookmark(1), Bookmark(3000)}) {
    const std::vector<HistoryEntry> trail = readHistory(path(), id);
    ASSERT_EQ(trail.size(), 1u) << id;
    EXPECT_EQ(trail[0].action, HistoryAction::Converted);
    EXPECT_FALSE(trail[0].before);
    ASSERT_TRUE(trail[0].after);
    EXPECT_EQ(trail[0].after->at(phb::Identifier),
              expected(table.rows[size_t(id - 1)], phb::Identifier));
  }
  EXPECT_EQ(structure(path()), structure(QStringLiteral(SORVANE_DATABASE_TEMPLATE)));
  EXPECT_EQ(folderState(dir_.path()).size(), 3u);  // no temporary file is left
  // Opened again, the converted file is left alone.
  EXPECT_FALSE(convertOldResultsFile(path()));
}

TEST_P(Conversion, IntoANewFileNeverOverwritesIt) {
  const JetTable table = yearsOfResults(500);
  const QString old = dir_.filePath(QStringLiteral("旧.mdb"));
  const QString made = dir_.filePath(QStringLiteral("新.mdb"));
  testsupport::writeJetFile(old, GetParam(), table);
  const QByteArray original = bytesOf(old);
  EXPECT_EQ(convertResultsFile(old, made).records, 500);
  expectRecords(made, table);
  EXPECT_EQ(bytesOf(old), original);

  const auto before = folderState(dir_.path());
  const auto error = failureOf([&] { convertResultsFile(old, made); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->message(), QStringLiteral("“%1”已经存在；为了不覆盖它，没有转换。").arg(made));
  EXPECT_EQ(folderState(dir_.path()), before);

  // A file that appears under the new name while the conversion runs is kept too.
  const QString late = dir_.filePath(QStringLiteral("迟.mdb"));
  const auto lateError = failureOf([&] {
    convertResultsFile(old, late, {{}, [&](ConversionStep step) {
                                     if (step == ConversionStep::TemporaryComplete)
                                       testfiles::writeBytes(late, "written meanwhile");
                                   }});
  });
  ASSERT_TRUE(lateError);
  EXPECT_EQ(bytesOf(late), "written meanwhile");
  EXPECT_EQ(folderState(dir_.path()).size(), before.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, Conversion, testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto& info) { return formatName(info.param); });

// ---- refusals ------------------------------------------------------------------------------

struct Refusal {
  const char* name;
  const char* says;  // a part of the one message
  std::function<QByteArray(JetVersion)> file;
};

QByteArray written(JetVersion v, const JetTable& table, testsupport::JetFileOptions options = {}) {
  return testsupport::jetFileBytes(v, table, options);
}

JetRow good(int i) {
  return {jetDays(2004, 1, 1 + i % 28), QStringLiteral("好%1").arg(i), std::int64_t(5), 7.26};
}

JetTable withBadRecord(int at, JetRow bad) {
  std::vector<JetRow> rows;
  for (int i = 0; i < 2000; ++i) rows.push_back(good(i));
  rows[size_t(at)] = std::move(bad);
  return phb(rows);
}

std::vector<Refusal> refusals() {
  const auto fixture = [](const char* name) {
    return [name](JetVersion) {
      return bytesOf(QStringLiteral(SORVANE_JET_FIXTURES "/") + QLatin1String(name));
    };
  };
  JetTable noCount = phb({good(1)});
  noCount.columns[2].name = QStringLiteral("样本");
  JetTable otherTable = phb({good(1)});
  otherTable.name = QStringLiteral("结果");
  return {
      {"TruncatedHalfway", "已经损坏或不完整",
       [](JetVersion v) {
         QByteArray b = written(v, withBadRecord(0, good(0)));
         b.truncate(b.size() / 2);
         return b;
       }},
      {"Password", "设有数据库密码或已加密",
       [](JetVersion v) {
         return written(v, phb({good(1)}), {"lab", 0});
       }},
      {"Encrypted", "设有数据库密码或已加密",
       [](JetVersion v) {
         return written(v, phb({good(1)}), {{}, 0x5eed});
       }},
      {"NewerThanJet4", "Access 2007 或更新版本",
       [](JetVersion v) {
         QByteArray b = written(v, phb({good(1)}));
         b.replace(4, 15, "Standard ACE DB");
         return b;
       }},
      {"NoTablePhb", "找不到表“phb”", [=](JetVersion v) { return written(v, otherTable); }},
      {"NoFieldCount", "找不到字段“样本数”", [=](JetVersion v) { return written(v, noCount); }},
      {"AccessFileWithoutPhb", "找不到表“phb”", fixture("charsetGBK.mdb")},
      {"IdentifierTooLong", "第 1500 条记录（标识符“一二三四五六七八九十一二三”）",
       [](JetVersion v) {
         return written(v, withBadRecord(1499, {kNone, QStringLiteral("一二三四五六七八九十一二三"),
                                                kNone, kNone}));
       }},
      {"DateWithTimeOfDay", "第 2000 条记录（标识符“晚”）不能原样转换：日期带有时刻 18:30:00",
       [](JetVersion v) {
         return written(v, withBadRecord(1999, {jetDays(2031, 5, 4, 18, 30), QStringLiteral("晚"),
                                                kNone, kNone}));
       }},
      {"DateAfter9999", "第 1 条记录（没有标识符）不能原样转换：日期超出了",
       [](JetVersion v) {
         return written(v, withBadRecord(0, {2958466.0, kNone, kNone, kNone}));
       }},
  };
}

void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

class Refusals : public testing::TestWithParam<std::tuple<JetVersion, Refusal>> {};

TEST_P(Refusals, SayWhyInOneMessageAndChangeNoFile) {
  const auto& [version, c] = GetParam();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  testfiles::writeBytes(path, c.file(version));
  testfiles::writeBytes(keptOriginalName(path, 1), "an older backup");
  const auto before = folderState(dir.path());

  const auto error = failureOf([&] { convertOldResultsFile(path); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), StoreError::Kind::NotConverted);
  EXPECT_TRUE(error->message().contains(QString::fromUtf8(c.says)))
      << error->message().toStdString();
  EXPECT_EQ(folderState(dir.path()), before);

  const QString elsewhere = dir.filePath(QStringLiteral("新.mdb"));
  EXPECT_TRUE(failureOf([&] { convertResultsFile(path, elsewhere); }));
  EXPECT_EQ(folderState(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, Refusals,
                         testing::Combine(testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                                          testing::ValuesIn(refusals())),
                         [](const auto& info) {
                           return formatName(std::get<0>(info.param)) + "_" +
                                  std::get<1>(info.param).name;
                         });

TEST(ConversionOfOtherFiles, LeavesThemToTheUsualOpening) {
  testfiles::TempDatabase today;
  const auto before = folderState(today.folder());
  EXPECT_FALSE(convertOldResultsFile(today.path()));
  EXPECT_FALSE(convertOldResultsFile(today.folder() + QStringLiteral("/missing.mdb")));
  EXPECT_EQ(folderState(today.folder()), before);
  const auto error =
      failureOf([&] { convertResultsFile(today.path(), today.folder() + QStringLiteral("/x")); });
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->message().contains(QStringLiteral("不是 Access (Jet) 数据库")));
}

// ---- killed at each step ---------------------------------------------------------------------

struct KillCase {
  ConversionStep step;
  const char* name;
};

void PrintTo(const KillCase& c, std::ostream* os) { *os << c.name; }

class KilledConversion : public testing::TestWithParam<std::tuple<JetVersion, KillCase>> {};

TEST_P(KilledConversion, LeavesTheOriginalOrEverything) {
  const auto& [version, kill] = GetParam();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  const JetTable table = yearsOfResults(2000);
  testsupport::writeJetFile(path, version, table);
  const QByteArray original = bytesOf(path);

  const pid_t child = fork();
  if (child == 0) {
    try {
      convertOldResultsFile(path, {{}, [&](ConversionStep step) {
                                     if (step == kill.step) raise(SIGKILL);
                                   }});
    } catch (...) {
    }
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  const QString keptPath = keptOriginalName(path, 1);
  if (bytesOf(path) == original) {
    // Untouched; a second name for it may already be on the disk.
    EXPECT_TRUE(!QFile::exists(keptPath) || bytesOf(keptPath) == original);
  } else {
    expectRecords(path, table);
    EXPECT_EQ(bytesOf(keptPath), original);
  }
  // Opening it again finishes the work, reusing a second name already made.
  convertOldResultsFile(path);
  expectRecords(path, table);
  EXPECT_EQ(bytesOf(keptPath), original);
  EXPECT_EQ(folderState(dir.path()).size(), 2u) << "a temporary file or second copy is left";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, KilledConversion,
    testing::Combine(
        testing::Values(JetVersion::Jet3, JetVersion::Jet4),
        testing::Values(KillCase{ConversionStep::Locked, "Locked"},
                        KillCase{ConversionStep::TemporaryCreated, "TemporaryCreated"},
                        KillCase{ConversionStep::FirstRecordStored, "FirstRecordStored"},
                        KillCase{ConversionStep::TemporaryComplete, "TemporaryComplete"},
                        KillCase{ConversionStep::OriginalKept, "OriginalKept"},
                        KillCase{ConversionStep::Replaced, "Replaced"},
                        KillCase{ConversionStep::Finished, "Finished"})),
    [](const auto& info) {
      return formatName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace sorvane::store
