// The reader against files Access wrote, and what only the reader sees: how each numeric
// type reads, deleted rows, and damaged bytes anywhere. What a conversion refuses, and
// every record it carries over, is tested with the conversion.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

#include "jet/JetNumbers.h"
#include "jet/JetPhbReader.h"
#include "store/StoreTestFiles.h"
#include "support/JetFixtures.h"
#include "support/JetWriter.h"

namespace sorvane::jet {

using namespace store;
namespace {

using testfiles::fileBytes;
using testsupport::JetCurrency;
using testsupport::jetDays;
using testsupport::JetRow;
using testsupport::JetType;
using testsupport::JetVersion;
const testsupport::JetValue kNone = std::monostate{};

std::vector<PhbRecord> readAll(const QString& path) {
  JetPhbReader reader(path);
  std::vector<PhbRecord> records;
  for (PhbRecord r; reader.next(r);) records.push_back(r);
  return records;
}

TEST(JetFixtures, GiveTheirValuesAndHaveNoTablePhb) {
  QTemporaryDir dir;
  const auto copy = [&](const char* name) {
    const QString to = dir.filePath(QString::fromLatin1(name));
    testfiles::writeBytes(to, testsupport::jetFixture(QString::fromLatin1(name)));
    return to;
  };
  for (const char* name : {"charsetGBK.mdb", "size97.mdb", "functionsV2000.mdb"})
    if (testsupport::jetFixture(QString::fromLatin1(name)).isEmpty())
      GTEST_SKIP() << testsupport::fixturesMissing(QString::fromLatin1(name)).toStdString();
  for (const auto& [name, kind] :
       {std::pair{"charsetGBK.mdb", JetFileKind::Jet3}, std::pair{"size97.mdb", JetFileKind::Jet3},
        std::pair{"functionsV2000.mdb", JetFileKind::Jet4}}) {
    const QString path = copy(name);
    const QByteArray before = fileBytes(path);
    EXPECT_EQ(classifyJetFile(path), kind) << name;
    try {
      JetPhbReader reader(path);
      ADD_FAILURE() << name << " has no table phb";
    } catch (const JetReadError& e) {
      EXPECT_EQ(e.message(), QStringLiteral("数据库“%1”中找不到表“phb”。文件没有改动。").arg(path));
    }
    EXPECT_EQ(fileBytes(path), before) << name;
  }
  JetTableReader gbk(copy("charsetGBK.mdb"), QStringLiteral("TABLE1"),
                     {QStringLiteral("id"), QStringLiteral("field1")});
  ASSERT_TRUE(gbk.next());
  EXPECT_EQ(gbk.value(0).number, 2);
  EXPECT_EQ(gbk.value(1).text, QStringLiteral("GBK编码"));
  EXPECT_FALSE(gbk.next());
  JetTableReader empty(copy("size97.mdb"), QStringLiteral("table1"), {QStringLiteral("ID")});
  EXPECT_FALSE(empty.next());
  JetTableReader funcs(copy("functionsV2000.mdb"), QStringLiteral("t_funcs"),
                       {QStringLiteral("num"), QStringLiteral("date0"), QStringLiteral("descr")});
  ASSERT_TRUE(funcs.next());
  EXPECT_EQ(funcs.value(0).number, -1110.554);
  EXPECT_EQ(funcs.value(1).date, QDate(2003, 11, 22));
  EXPECT_EQ(funcs.value(1).time, QTime(22, 42, 58));
  EXPECT_EQ(funcs.value(2).kind, JetValue::Kind::Other);  // a memo is not read
  EXPECT_FALSE(funcs.next());
}

class JetFile : public testing::TestWithParam<JetVersion> {
 protected:
  int pageSize() const { return GetParam() == JetVersion::Jet4 ? 4096 : 2048; }
  QTemporaryDir dir_;
  const QString path_ = dir_.filePath(QStringLiteral("phjz.mdb"));
};

TEST_P(JetFile, TakesEveryNumericTypeAsItsShownValue) {
  for (const auto& [type, written, shown] :
       std::vector<std::tuple<JetType, testsupport::JetValue, double>>{
           {JetType::Long, std::int64_t(2147483647), 2147483647},
           {JetType::Single, 7.26, 7.26},
           {JetType::Currency, JetCurrency{-12345}, -1.2345},
           {JetType::Double, 7.26, 7.26}}) {
    testsupport::writeJetFile(path_, GetParam(),
                              testsupport::phbTable({{kNone, kNone, written, kNone}}, type));
    const auto records = readAll(path_);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].sampleCount, shown) << int(type);
  }
}

TEST_P(JetFile, SkipsDeletedRowsThatLibmdbWouldReturn) {
  QByteArray bytes = testsupport::jetFileBytes(
      GetParam(), testsupport::phbTable({{kNone, QStringLiteral("留"), kNone, kNone},
                                         {kNone, QStringLiteral("删"), kNone, kNone},
                                         {kNone, QStringLiteral("也留"), kNone, kNone}}));
  // Jet deletes a row by flagging its offset on the data page and lowering the table's
  // count; the row's bytes stay.
  const int slot = 5 * pageSize() + (GetParam() == JetVersion::Jet4 ? 12 : 8) + 2 + 2;
  bytes[slot + 1] = char(bytes[slot + 1] | 0x80);
  bytes[4 * pageSize() + (GetParam() == JetVersion::Jet4 ? 16 : 12)] = 2;
  testfiles::writeBytes(path_, bytes);
  const auto records = readAll(path_);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].identifier, QStringLiteral("留"));
  EXPECT_EQ(records[1].identifier, QStringLiteral("也留"));
  EXPECT_EQ(records[1].position, 2);
}

// Flips each byte of `clean` in the pages [from, to) (every `step`th byte): each file either
// reads or is refused with a message; libmdb never crashes, hangs or prints.
void expectEveryFlipSurvived(const QByteArray& clean, const QString& path, int pageSize,
                             std::vector<std::pair<int, int>> pages, int step) {
  testsupport::CapturedOutput printed;
  int refused = 0;
  for (const auto& [from, to] : pages)
    for (int at = from * pageSize; at < to * pageSize; at += step) {
      QByteArray bytes = clean;
      bytes[at] = char(~bytes[at]);
      testfiles::writeBytes(path, bytes);
      try {
        readAll(path);
      } catch (const JetReadError&) {
        ++refused;
      }
    }
  EXPECT_GT(refused, 0);
  EXPECT_EQ(printed.taken(), QByteArray());
}

TEST_P(JetFile, SurvivesEveryFlippedByteOfItsStructure) {
  std::vector<JetRow> rows;
  for (int i = 0; i < 20; ++i)
    rows.push_back({jetDays(2004, 1, 1 + i), QStringLiteral("样%1").arg(i), std::int64_t(i),
                    i % 3 ? testsupport::JetValue(7.0) : kNone});
  testsupport::JetTable table = testsupport::phbTable(rows);
  table.movedRows = {1, 19};
  const QByteArray clean = testsupport::jetFileBytes(GetParam(), table);
  // Header, usage maps, both table definitions, the catalog's rows, the table's rows and
  // the moved rows' page; every other byte of the larger Jet 4 pages, to keep the run short.
  expectEveryFlipSurvived(clean, path_, pageSize(), {{0, int(clean.size() / pageSize())}},
                          GetParam() == JetVersion::Jet4 ? 2 : 1);
}

// A file Access wrote has what the writer's do not: property blobs in its catalog.
TEST(JetFixture, SurvivesEveryFlippedByteOfItsCatalog) {
  const QString name = QStringLiteral("functionsV2000.mdb");
  const QByteArray clean = testsupport::jetFixture(name);
  if (clean.isEmpty()) GTEST_SKIP() << testsupport::fixturesMissing(name).toStdString();
  QTemporaryDir dir;
  // The usage maps (page 1), the catalog's definition (2), its rows (14) and the long
  // values that hold their properties (22, 23); every other byte.
  expectEveryFlipSurvived(clean, dir.filePath(name), 4096, {{1, 3}, {14, 15}, {22, 24}}, 2);
}

// Stored days as Access shows them: before 1899-12-30 the whole part counts back while the
// fraction runs forward; a hair before midnight is the next day; outside years 100-9999 none.
TEST(JetNumbers, DaysBecomeDateAndTime) {
  const struct {
    const char* name;
    double days;
    std::optional<QDateTime> shown;
  } cases[] = {
      {"Epoch", 0, QDateTime(QDate(1899, 12, 30), QTime(0, 0))},
      {"BeforeEpochFractionForward", -1.25, QDateTime(QDate(1899, 12, 29), QTime(6, 0))},
      {"Noon2003", 37947.5, QDateTime(QDate(2003, 11, 22), QTime(12, 0))},
      {"HairBeforeMidnight", 1.9999999999, QDateTime(QDate(1900, 1, 1), QTime(0, 0))},
      {"FirstDayOfYear100", -657434, QDateTime(QDate(100, 1, 1), QTime(0, 0))},
      {"BeforeYear100", -657434.5, std::nullopt},
      {"AfterYear9999", 2958466, std::nullopt},
      {"NotANumber", std::nan(""), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<JetDateTime> got = dateTimeFromDays(c.days);
    ASSERT_EQ(got.has_value(), c.shown.has_value());
    if (got) EXPECT_EQ(QDateTime(got->date, got->time), *c.shown);
  }
  EXPECT_EQ(singleAsShown(7.26f), 7.26);
  bool exact = false;
  EXPECT_EQ(currencyValue(72600, &exact), 7.26);
  EXPECT_TRUE(exact);
  currencyValue(1234567890123456, &exact);  // 16 digits: a double cannot keep them all
  EXPECT_FALSE(exact);
}

INSTANTIATE_TEST_SUITE_P(Formats, JetFile, testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         testing::PrintToStringParamName());

}  // namespace
}  // namespace sorvane::jet
