// Converting an Access phjz.mdb in place and into a new file: every record arrives, the
// original is kept byte for byte, a refusal changes no file, and a process killed at any
// step leaves a folder that opens.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <map>

#include "jet/JetConversion.h"
#include "store/PhbFields.h"
#include "store/Snapshot.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"
#include "store/StoreTestFiles.h"
#include "store/sqlite/HistoryLog.h"
#include "store/sqlite/PhbFileWriter.h"
#include "support/JetWriter.h"

namespace sorvane::jet {

using namespace store;
namespace {

using testfiles::fileBytes;
using testsupport::jetDays;
using testsupport::JetRow;
using testsupport::JetTable;
using testsupport::JetType;
using testsupport::JetValue;
using testsupport::JetVersion;
const JetValue kNone = std::monostate{};

// A results file as years of use leave it: thousands of records, nulls in every field, an
// empty identifier, dates from 100 to 9999, and rows Jet moved when they were edited.
JetTable yearsOfResults(int count) {
  std::vector<JetRow> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back({jetDays(1900 + i % 161, 1 + i % 12, 1 + i % 28),
                    QStringLiteral("东湖%1").arg(i), std::int64_t(1 + i % 30),
                    4.0 + (i % 700) / 100.0});
    if (i % 11 == 3) rows.back()[size_t(i % 4)] = kNone;
  }
  // Before 1899-12-30 Jet counts days back from it.
  rows[1][0] = jetDays(1899, 12, 29);
  rows[2][0] = jetDays(1800, 3, 1);
  rows[4][0] = jetDays(100, 1, 1);
  rows[5][0] = jetDays(9999, 12, 31);
  rows[6][1] = QString();  // an empty text is not a null
  JetTable table = testsupport::phbTable(rows);
  table.movedRows = {0, 7, size_t(count / 2), size_t(count - 1)};
  return table;
}

// The expected value of each field of a written row, as the store gives it back.
QVariant expected(const JetRow& row, int field) {
  const JetValue& v = row[size_t(field)];
  if (std::holds_alternative<std::monostate>(v)) return {};
  if (field == phb::Date) return QDate(1899, 12, 30).addDays(qint64(std::get<double>(v)));
  if (field == phb::Identifier) return std::get<QString>(v);
  if (field == phb::SampleCount) return double(std::get<std::int64_t>(v));
  return std::get<double>(v);
}

// Every file in the folder, hidden ones too, by name with its bytes.
std::map<QString, QByteArray> folderState(const QString& folder) {
  std::map<QString, QByteArray> state;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
    state[name] = fileBytes(dir.filePath(name));
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

std::optional<StoreError> failureOf(const std::function<void()>& action) try {
  action();
  return std::nullopt;
} catch (const StoreError& error) {
  return error;
}

class Conversion : public testing::TestWithParam<JetVersion> {};

TEST_P(Conversion, CarriesEveryRecordOverAndKeepsTheOriginal) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  const auto kept = [&](int attempt) { return keptOriginalName(path, attempt); };
  const JetTable table = yearsOfResults(3000);
  testsupport::writeJetFile(path, GetParam(), table);
  const QByteArray original = fileBytes(path);
  // An earlier backup of another file keeps its name; the original takes the next one.
  testfiles::writeBytes(kept(1), "an older backup");

  std::vector<std::pair<qint64, qint64>> progress;
  const auto done = convertJetFileInPlace(
      path, {[&](qint64 stored, qint64 total) { progress.emplace_back(stored, total); }, {}});
  ASSERT_TRUE(done);
  EXPECT_EQ(done->records, 3000);
  EXPECT_EQ(done->keptOriginal, kept(2));
  EXPECT_EQ(fileBytes(kept(2)), original);
  EXPECT_EQ(fileBytes(kept(1)), "an older backup");
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), std::make_pair(qint64(3000), qint64(3000)));

  expectRecords(path, table);
  // Every record's trail starts with its conversion, with the values it was given.
  for (const Bookmark id : {Bookmark(1), Bookmark(3000)}) {
    const std::vector<HistoryEntry> trail = readHistory(path, id);
    ASSERT_EQ(trail.size(), 1u) << id;
    EXPECT_EQ(trail[0].action, HistoryAction::Converted);
    EXPECT_FALSE(trail[0].before);
    ASSERT_TRUE(trail[0].after);
    EXPECT_EQ(trail[0].after->at(phb::Identifier),
              expected(table.rows[size_t(id - 1)], phb::Identifier));
  }
  EXPECT_EQ(testfiles::schema(path), testfiles::schema(QStringLiteral(SORVANE_DATABASE_TEMPLATE)));
  EXPECT_EQ(folderState(dir.path()).size(), 3u);  // no temporary file is left
  // Opened again, the converted file is left alone.
  EXPECT_FALSE(convertJetFileInPlace(path));
}

INSTANTIATE_TEST_SUITE_P(Formats, Conversion, testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         testing::PrintToStringParamName());

// The command's tests refuse a new file that exists before; this one appears meanwhile.
TEST(ConversionIntoANewFile, NeverOverwritesOneMadeMeanwhile) {
  QTemporaryDir dir;
  const QString old = dir.filePath(QStringLiteral("旧.mdb")), late = dir.filePath("迟.mdb");
  testsupport::writeJetFile(old, JetVersion::Jet4, yearsOfResults(500));
  const QByteArray original = fileBytes(old);
  const auto error = failureOf([&] {
    convertJetFile(old, late, {{}, [&](ConversionStep step) {
                                 if (step == ConversionStep::TemporaryComplete)
                                   testfiles::writeBytes(late, "written meanwhile");
                               }});
  });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->message(), QStringLiteral("“%1”已经存在；为了不覆盖它，没有转换。").arg(late));
  EXPECT_EQ(fileBytes(late), "written meanwhile");
  EXPECT_EQ(fileBytes(old), original);
  EXPECT_EQ(folderState(dir.path()).size(), 2u);
}

// ---- refusals: bad files and records that cannot be carried over exactly ---------------

struct Refusal {
  const char* name;
  const char* says;  // a part of the one message
  std::function<void(QByteArray&, int pageSize)> damage;
  JetRow record = {};  // the last of the 300 records, when given
  std::function<void(JetTable&)> edit = nullptr;
};

void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

const char kDamaged[] = "已经损坏或不完整", kLocked[] = "设有数据库密码或已加密",
           kNewer[] = "Access 2007 或更新版本";
const auto kType = [](int field, JetType type) {
  return [=](JetTable& t) { t.columns[size_t(field)].type = type; };
};
// A plain call, not a braced row, so each table row stays on two lines.
JetRow last(JetValue date, JetValue id, JetValue count, JetValue mean) {
  return {std::move(date), std::move(id), std::move(count), std::move(mean)};
}

const Refusal kRefusals[] = {
    {"CutInTheEngineName", kDamaged, [](QByteArray& b, int) { b.truncate(10); }},
    {"CutInTheHeader", kDamaged, [](QByteArray& b, int) { b.truncate(100); }},
    {"LastByteMissing", kDamaged, [](QByteArray& b, int) { b.chop(1); }},
    {"LastPageMissing", kDamaged, [](QByteArray& b, int page) { b.chop(page); }},
    {"CatalogPageZeroed", kDamaged,
     [](QByteArray& b, int page) { b.replace(2 * page, page, QByteArray(page, 0)); }},
    {"MovedRowPointsPastTheEnd", kDamaged,
     [](QByteArray& b, int page) {
       // Record 6, moved, has its slot on the table's first data page.
       const int slot = 5 * page + (page == 4096 ? 12 : 8) + 2 + 2 * 5;
       b[5 * page + ((std::uint8_t(b[slot]) | std::uint8_t(b[slot + 1]) << 8) & 0x1fff) + 3] = 0x7f;
     }},
    // The header is masked with a stream cipher, so a flipped stored bit is a flipped clear
    // one: a password's first character, an encoding key.
    {"Password", kLocked, [](QByteArray& b, int) { b[0x42] = char(b[0x42] ^ 1); }},
    {"Encrypted", kLocked, [](QByteArray& b, int) { b[0x3e] = char(b[0x3e] ^ 1); }},
    {"AceVersion", kNewer, [](QByteArray& b, int) { b[0x14] = 2; }},
    {"AceName", kNewer, [](QByteArray& b, int) { b.replace(4, 15, "Standard ACE DB"); }},
    {"NoTablePhb", "中找不到表“phb”", nullptr, {}, [](JetTable& t) { t.name = "结果"; }},
    {"NoFieldCount",
     "中找不到字段“样本数”",
     nullptr,
     {},
     [](JetTable& t) { t.columns[2].name = QStringLiteral("样本"); }},
    {"IdentifierOf13",
     "第 300 条记录（标识符“一二三四五六七八九十一二三”）不能原样转换：标识符有 13 个字符，"
     "超过了 12 个字符的上限",
     nullptr, last(kNone, QStringLiteral("一二三四五六七八九十一二三"), kNone, kNone)},
    {"DateAfter9999", "（标识符“晚”）不能原样转换：日期超出了公元 100 年至 9999 年的范围", nullptr,
     last(2958466.0, QStringLiteral("晚"), kNone, kNone)},
    {"DateBefore100", "第 300 条记录（没有标识符）不能原样转换：日期超出了", nullptr,
     last(-657435.0, kNone, kNone, kNone)},
    {"DateWithTimeOfDay", "（标识符“时”）不能原样转换：日期带有时刻 23:59:59，而表中只能保存日期",
     nullptr, last(jetDays(1800, 3, 1, 23, 59, 59), QStringLiteral("时"), kNone, kNone)},
    {"MeanNotANumber", "（标识符“无”）不能原样转换：字段“pH均值”的值不是有限的数", nullptr,
     last(kNone, QStringLiteral("无"), kNone, std::nan(""))},
    {"CountIsText", "（标识符“文”）不能原样转换：字段“样本数”是文本类型，不是数字", nullptr,
     last(kNone, QStringLiteral("文"), QStringLiteral("5"), kNone), kType(2, JetType::Text)},
    {"CountIsDate", "（标识符“日”）不能原样转换：字段“样本数”是日期/时间类型，不是数字", nullptr,
     last(kNone, QStringLiteral("日"), 1.0, kNone), kType(2, JetType::DateTime)},
    {"CurrencyBeyond15Digits", "（标识符“钱”）不能原样转换：字段“样本数”的值有 15 位以上有效数字",
     nullptr, last(kNone, QStringLiteral("钱"), testsupport::JetCurrency{1234567890123456}, kNone),
     kType(2, JetType::Currency)},
    {"IdentifierIsNumber", "第 300 条记录（没有标识符）不能原样转换：字段“标识符”是数字类型",
     nullptr, last(kNone, std::int64_t(42), kNone, kNone), kType(1, JetType::Long)},
};

class Refusals : public testing::TestWithParam<std::tuple<JetVersion, Refusal>> {};

TEST_P(Refusals, SayWhyInOneMessageAndChangeNoFile) {
  const auto& [version, c] = GetParam();
  std::vector<JetRow> rows;
  for (int i = 0; i < 300; ++i)
    rows.push_back(
        {jetDays(2004, 1, 1 + i % 28), QStringLiteral("好%1").arg(i), std::int64_t(5), 7.26});
  JetTable table = testsupport::phbTable(rows);
  table.movedRows = {5};
  if (c.edit) c.edit(table);
  // A field of another type is null in the good records.
  for (size_t f = 0; f < 4; ++f)
    if (table.columns[f].type != testsupport::phbTable({}).columns[f].type)
      for (JetRow& r : table.rows) r[f] = kNone;
  if (!c.record.empty()) table.rows.back() = c.record;
  QByteArray bytes = testsupport::jetFileBytes(version, table);
  if (c.damage) c.damage(bytes, version == JetVersion::Jet4 ? 4096 : 2048);

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  testfiles::writeBytes(path, bytes);
  testfiles::writeBytes(keptOriginalName(path, 1), "an older backup");
  const auto before = folderState(dir.path());
  const auto error = failureOf([&] { convertJetFileInPlace(path); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), StoreError::Kind::NotConverted);
  const QString& message = error->message();
  EXPECT_TRUE(message.contains(path) && message.contains(QString::fromUtf8(c.says)) &&
              message.endsWith(QStringLiteral("文件没有改动。")))
      << message.toStdString();
  EXPECT_EQ(folderState(dir.path()), before);
  EXPECT_TRUE(failureOf([&] { convertJetFile(path, dir.filePath(QStringLiteral("新.mdb"))); }));
  EXPECT_EQ(folderState(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, Refusals,
                         testing::Combine(testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                                          testing::ValuesIn(kRefusals)),
                         [](const auto& info) {
                           return testing::PrintToString(std::get<0>(info.param)) + "_" +
                                  std::get<1>(info.param).name;
                         });

// The reader refuses what the table's checks would; should one still refuse a value, the
// message names the record and the field once, without SQLite's words.
TEST(ConversionRefusedByTheTable, SaysSoOnceNamingTheField) {
  QTemporaryDir dir;
  testfiles::writeBytes(dir.filePath(QStringLiteral("新.mdb")), {});
  PhbFileWriter file(dir.filePath(QStringLiteral("新.mdb")));
  PhbRecord record;
  record.identifier = QStringLiteral("一二三四五六七八九十一二三");
  const auto error = failureOf([&] { file.add(record); });
  ASSERT_TRUE(error);
  EXPECT_EQ(
      failures::conversionRefusedValue(QStringLiteral("旧.mdb"), 7, record.identifier,
                                       error->message())
          .message(),
      QStringLiteral("“旧.mdb”中第 7 条记录（标识符“一二三四五六七八九十一二三”）不能原样"
                     "转换：表“phb”不接受字段“标识符”的值。没有转换任何记录，文件没有改动。"));
}

// ---- killed at each step ---------------------------------------------------------------

struct Kill {
  JetVersion version;
  ConversionStep step;
  const char* name;
};

void PrintTo(const Kill& c, std::ostream* os) { *os << c.name; }

class KilledConversion : public testing::TestWithParam<Kill> {};

TEST_P(KilledConversion, LeavesTheOriginalOrEverything) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  const JetTable table = yearsOfResults(2000);
  testsupport::writeJetFile(path, GetParam().version, table);
  const QByteArray original = fileBytes(path);

  ASSERT_TRUE(testfiles::diesKilled([&] {
    convertJetFileInPlace(path, {{}, [&](ConversionStep step) {
                                   if (step == GetParam().step) raise(SIGKILL);
                                 }});
  }));
  const QString keptPath = keptOriginalName(path, 1);
  if (fileBytes(path) == original) {
    // Untouched; a second name for it may already be on the disk.
    EXPECT_TRUE(!QFile::exists(keptPath) || fileBytes(keptPath) == original);
  } else {
    expectRecords(path, table);
    EXPECT_EQ(fileBytes(keptPath), original);
  }
  // Opening it again finishes the work, reusing a second name already made.
  convertJetFileInPlace(path);
  expectRecords(path, table);
  EXPECT_EQ(fileBytes(keptPath), original);
  EXPECT_EQ(folderState(dir.path()).size(), 2u) << "a temporary file or second copy is left";
}

// Each step once, the formats taking turns.
INSTANTIATE_TEST_SUITE_P(
    Steps, KilledConversion,
    testing::Values(
        Kill{JetVersion::Jet3, ConversionStep::Locked, "Jet3_Locked"},
        Kill{JetVersion::Jet4, ConversionStep::TemporaryCreated, "Jet4_TemporaryCreated"},
        Kill{JetVersion::Jet3, ConversionStep::FirstRecordStored, "Jet3_FirstRecordStored"},
        Kill{JetVersion::Jet4, ConversionStep::TemporaryComplete, "Jet4_TemporaryComplete"},
        Kill{JetVersion::Jet3, ConversionStep::OriginalKept, "Jet3_OriginalKept"},
        Kill{JetVersion::Jet4, ConversionStep::Replaced, "Jet4_Replaced"},
        Kill{JetVersion::Jet3, ConversionStep::Finished, "Jet3_Finished"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::jet
