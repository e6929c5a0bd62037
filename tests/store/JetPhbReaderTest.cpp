#include <gtest/gtest.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <limits>

#include "store/JetPhbReader.h"
#include "support/JetWriter.h"

// Failures show texts as texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }
QT_END_NAMESPACE

namespace sorvane::store {
namespace {

using testsupport::JetColumn;
using testsupport::JetCurrency;
using testsupport::jetDays;
using testsupport::JetRow;
using testsupport::JetTable;
using testsupport::JetType;
using testsupport::JetVersion;
using Kind = JetReadError::Kind;

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

QByteArray checksum(const QString& path) {
  return QCryptographicHash::hash(bytesOf(path), QCryptographicHash::Sha256);
}

// phb as the old program's file holds it, the count field of the given type.
JetTable phb(std::vector<JetRow> rows, JetType countType = JetType::Long) {
  return {QStringLiteral("phb"),
          {{QStringLiteral("日期"), JetType::DateTime},
           {QStringLiteral("标识符"), JetType::Text, 20},
           {QStringLiteral("样本数"), countType, 20},
           {QStringLiteral("pH均值"), JetType::Double}},
          std::move(rows),
          {}};
}

std::vector<PhbRecord> readAll(const QString& path) {
  JetPhbReader reader(path);
  std::vector<PhbRecord> records;
  for (PhbRecord r; reader.next(r);) records.push_back(r);
  return records;
}

// The error a read throws, or none.
std::optional<JetReadError> failureOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const JetReadError& e) {
    return e;
  }
  return std::nullopt;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const testsupport::JetValue kNone = std::monostate{};

std::string formatName(JetVersion v) { return v == JetVersion::Jet3 ? "Jet3" : "Jet4"; }

// ---- files Access wrote --------------------------------------------------------------

class AccessFiles : public testing::Test {
 protected:
  QString copy(const char* name) {
    const QString to = dir_.filePath(QString::fromLatin1(name));
    QFile::copy(QStringLiteral(SORVANE_JET_FIXTURES "/") + name, to);
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    return to;
  }
  QTemporaryDir dir_;
};

TEST_F(AccessFiles, AreRecognisedAndHaveNoTablePhb) {
  for (const auto& [name, kind] :
       {std::pair{"charsetGBK.mdb", JetFileKind::Jet3}, std::pair{"size97.mdb", JetFileKind::Jet3},
        std::pair{"functionsV2000.mdb", JetFileKind::Jet4}}) {
    const QString path = copy(name);
    const QByteArray before = checksum(path);
    EXPECT_EQ(classifyJetFile(path), kind) << name;
    const auto error = failureOf([&] { JetPhbReader reader(path); });
    ASSERT_TRUE(error) << name;
    EXPECT_EQ(error->kind(), Kind::TableMissing);
    EXPECT_EQ(error->message(),
              QStringLiteral("数据库“%1”中找不到表“phb”。文件没有改动。").arg(path));
    EXPECT_EQ(checksum(path), before) << name;
  }
}

TEST_F(AccessFiles, GiveTheirValues) {
  {
    JetTableReader gbk(copy("charsetGBK.mdb"), QStringLiteral("TABLE1"),
                       {QStringLiteral("id"), QStringLiteral("field1")});
    EXPECT_TRUE(gbk.isJet3());
    ASSERT_TRUE(gbk.next());
    EXPECT_EQ(gbk.value(0).number, 2);
    EXPECT_EQ(gbk.value(1).kind, JetValue::Kind::Text);
    EXPECT_EQ(gbk.value(1).text, QStringLiteral("GBK编码"));
    EXPECT_FALSE(gbk.next());
  }
  {
    JetTableReader empty(copy("size97.mdb"), QStringLiteral("table1"), {QStringLiteral("ID")});
    EXPECT_EQ(empty.announcedCount(), 0);
    EXPECT_FALSE(empty.next());
  }
  JetTableReader funcs(copy("functionsV2000.mdb"), QStringLiteral("t_funcs"),
                       {QStringLiteral("id"), QStringLiteral("num"), QStringLiteral("date0"),
                        QStringLiteral("descr")});
  EXPECT_FALSE(funcs.isJet3());
  ASSERT_TRUE(funcs.next());
  EXPECT_EQ(funcs.value(0).number, 1234);
  EXPECT_EQ(funcs.value(1).kind, JetValue::Kind::Number);
  EXPECT_EQ(funcs.value(1).number, -1110.554);
  EXPECT_EQ(funcs.value(2).date, QDate(2003, 11, 22));
  EXPECT_EQ(funcs.value(2).time, QTime(22, 42, 58));
  EXPECT_EQ(funcs.value(3).kind, JetValue::Kind::Other);  // a memo is not read
  EXPECT_FALSE(funcs.next());
}

// ---- files the test writer makes -----------------------------------------------------

class JetFile : public testing::TestWithParam<JetVersion> {
 protected:
  QString write(const JetTable& table, const testsupport::JetFileOptions& options = {}) {
    const QString path = dir_.filePath(QStringLiteral("phjz.mdb"));
    testsupport::writeJetFile(path, GetParam(), table, options);
    return path;
  }
  QTemporaryDir dir_;
};

TEST_P(JetFile, StreamsEveryRecordInOrder) {
  std::vector<JetRow> rows;
  const int n = 5000;
  for (int i = 0; i < n; ++i) {
    rows.push_back({jetDays(1930 + i % 100, 1 + i % 12, 1 + i % 28),
                    QStringLiteral("水样%1").arg(i), std::int64_t(i % 40),
                    4.0 + (i % 500) / 100.0});
    if (i % 9 == 4) rows.back()[1] = QString();  // an empty text is not a null
    if (i % 9 == 5)
      rows.back() = {std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{}};
  }
  // Dates Jet keeps before 1899-12-30 count back from it; with a time of day too, which
  // the table reader gives and phb's reader refuses (see BadRecords).
  rows[1][0] = jetDays(1899, 12, 29);
  rows[2][0] = jetDays(1800, 3, 1);
  rows[3][0] = jetDays(9999, 12, 31);
  rows[6][0] = jetDays(100, 1, 1);
  const QString timed = dir_.filePath(QStringLiteral("timed.mdb"));
  const std::vector<std::pair<QDate, QTime>> early{{QDate(1899, 12, 29), QTime(6, 0)},
                                                   {QDate(1800, 3, 1), QTime(23, 59, 59)},
                                                   {QDate(9999, 12, 31), QTime(12, 0)}};
  std::vector<JetRow> timedRows;
  for (const auto& [day, time] : early)
    timedRows.push_back(
        {jetDays(day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second()),
         kNone, kNone, kNone});
  testsupport::writeJetFile(timed, GetParam(), phb(timedRows));
  JetTableReader times(timed, QStringLiteral("phb"), {QStringLiteral("日期")});
  for (const auto& [day, time] : early) {
    ASSERT_TRUE(times.next());
    EXPECT_EQ(times.value(0).date, day);
    EXPECT_EQ(times.value(0).time, time);
  }
  const QString path = write(phb(rows));
  const QByteArray before = checksum(path);

  JetPhbReader reader(path);
  EXPECT_EQ(reader.isJet3(), GetParam() == JetVersion::Jet3);
  EXPECT_EQ(reader.announcedCount(), n);
  PhbRecord r;
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(reader.next(r)) << i;
    ASSERT_EQ(r.position, i + 1);
    if (i % 9 == 5) {
      ASSERT_FALSE(r.date || r.identifier || r.sampleCount || r.mean) << i;
      continue;
    }
    ASSERT_EQ(r.identifier, i % 9 == 4 ? QString() : QStringLiteral("水样%1").arg(i)) << i;
    ASSERT_EQ(r.sampleCount, i % 40) << i;
    ASSERT_EQ(r.mean, 4.0 + (i % 500) / 100.0) << i;
    if (i > 6) {
      ASSERT_EQ(r.date, QDate(1930 + i % 100, 1 + i % 12, 1 + i % 28)) << i;
    }
  }
  EXPECT_FALSE(reader.next(r));
  EXPECT_FALSE(reader.next(r));

  const std::vector<PhbRecord> all = readAll(path);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(all[size_t(i)].date, early[size_t(i - 1)].first) << i;
  EXPECT_EQ(all[6].date, QDate(100, 1, 1));
  EXPECT_EQ(checksum(path), before);
}

TEST_P(JetFile, TakesEveryNumericTypeAsItsShownValue) {
  struct Case {
    JetType type;
    testsupport::JetValue written;
    double read;
  };
  for (const Case& c : std::vector<Case>{{JetType::Byte, std::int64_t(255), 255},
                                         {JetType::Integer, std::int64_t(-32768), -32768},
                                         {JetType::Long, std::int64_t(2147483647), 2147483647},
                                         {JetType::Single, 7.26, 7.26},
                                         {JetType::Currency, JetCurrency{-12345}, -1.2345},
                                         {JetType::Double, 7.26, 7.26}}) {
    const auto records = readAll(
        write(phb({{std::monostate{}, QStringLiteral("a"), c.written, std::monostate{}}}, c.type)));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].sampleCount, c.read) << int(c.type);
  }
}

TEST_P(JetFile, SkipsDeletedRowsThatLibmdbWouldReturn) {
  const QString path =
      write(phb({{std::monostate{}, QStringLiteral("留"), std::monostate{}, std::monostate{}},
                 {std::monostate{}, QStringLiteral("删"), std::monostate{}, std::monostate{}},
                 {std::monostate{}, QStringLiteral("也留"), std::monostate{}, std::monostate{}}}));
  // Jet deletes a row by flagging its offset on the data page and lowering the table's
  // count; the row's bytes stay.
  const bool jet4 = GetParam() == JetVersion::Jet4;
  const int page = (jet4 ? 4096 : 2048) * 5, rowCount = page + (jet4 ? 12 : 8);
  QByteArray bytes = bytesOf(path);
  bytes[rowCount + 2 + 2 * 1 + 1] = char(bytes[rowCount + 2 + 2 * 1 + 1] | 0x80);
  bytes[(jet4 ? 4096 : 2048) * 4 + (jet4 ? 16 : 12)] = 2;
  writeBytes(path, bytes);
  const auto records = readAll(path);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].identifier, QStringLiteral("留"));
  EXPECT_EQ(records[1].identifier, QStringLiteral("也留"));
  EXPECT_EQ(records[1].position, 2);
}

TEST_P(JetFile, FollowsRowsMovedWhenEdited) {
  std::vector<JetRow> rows;
  const int n = 2000;
  for (int i = 0; i < n; ++i)
    rows.push_back({jetDays(2001, 1 + i % 12, 1 + i % 28), QStringLiteral("移%1").arg(i),
                    std::int64_t(i), 7.0});
  JetTable table = phb(rows);
  // The first and the last record, and a run in between that spans a page's end.
  table.movedRows = {0, 17, 18, 19, 150, 151, 152, 1999};
  const QString path = write(table);
  const std::vector<PhbRecord> all = readAll(path);
  ASSERT_EQ(all.size(), size_t(n));
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(all[size_t(i)].position, i + 1);
    ASSERT_EQ(all[size_t(i)].identifier, QStringLiteral("移%1").arg(i)) << i;
    ASSERT_EQ(all[size_t(i)].sampleCount, i) << i;
  }
}

// ---- records that cannot be carried over -----------------------------------------------

struct BadRecordCase {
  const char* name;
  JetType countType;  // the type of 样本数
  testsupport::JetValue date, id, count, mean;
  const char* identifierShown;  // nullptr: the message says there is none
  const char* why;
  // A Boolean is never null, so every record has a value of the wrong type.
  bool boolean = false;
};

void PrintTo(const BadRecordCase& c, std::ostream* os) { *os << c.name; }

class BadRecords : public testing::TestWithParam<std::tuple<JetVersion, BadRecordCase>> {};

TEST_P(BadRecords, AreNamedByPositionAndIdentifier) {
  const auto& [version, c] = GetParam();
  const JetRow good{jetDays(2004, 1, 29), QStringLiteral("好"),
                    c.boolean ? testsupport::JetValue(false) : kNone, 7.26};
  JetTable table = phb({good, good, {c.date, c.id, c.count, c.mean}, good}, c.countType);
  const int position = c.boolean ? 1 : 3;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  testsupport::writeJetFile(path, version, table);
  JetPhbReader reader(path);
  PhbRecord r;
  for (int i = 1; i < position; ++i) ASSERT_TRUE(reader.next(r));
  const auto error = failureOf([&] { reader.next(r); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), Kind::BadRecord);
  EXPECT_EQ(error->record(), position);
  const QString which =
      c.identifierShown
          ? QStringLiteral("第 %1 条记录（标识符“%2”）").arg(position).arg(c.identifierShown)
          : QStringLiteral("第 %1 条记录（没有标识符）").arg(position);
  EXPECT_EQ(error->message().toStdString(),
            QStringLiteral("“%1”中%2不能原样转换：%3。没有转换任何记录，文件没有改动。")
                .arg(path, which, QString::fromUtf8(c.why))
                .toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadRecords,
    testing::Combine(
        testing::Values(JetVersion::Jet3, JetVersion::Jet4),
        testing::Values(
            BadRecordCase{"IdentifierOf13", JetType::Long, kNone,
                          QStringLiteral("一二三四五六七八九十一二三"), kNone, kNone,
                          "一二三四五六七八九十一二三",
                          "标识符有 13 个字符，超过了 12 个字符的上限"},
            BadRecordCase{"DateAfter9999", JetType::Long, 2958466.0, QStringLiteral("晚"), kNone,
                          kNone, "晚", "日期超出了公元 100 年至 9999 年的范围"},
            BadRecordCase{"DateWithTimeOfDay", JetType::Long, jetDays(1800, 3, 1, 23, 59, 59),
                          QStringLiteral("时"), kNone, kNone, "时",
                          "日期带有时刻 23:59:59，而表中只能保存日期"},
            BadRecordCase{"DateBefore100", JetType::Long, -657435.0, kNone, kNone, kNone, nullptr,
                          "日期超出了公元 100 年至 9999 年的范围"},
            BadRecordCase{"MeanNotANumber", JetType::Long, kNone, QStringLiteral("无"), kNone, kNaN,
                          "无", "字段“pH均值”的值不是有限的数"},
            BadRecordCase{"CountIsText", JetType::Text, kNone, QStringLiteral("文"),
                          QStringLiteral("5"), kNone, "文", "字段“样本数”是文本类型，不是数字"},
            BadRecordCase{"CountIsBoolean", JetType::Boolean, kNone, QStringLiteral("是"), true,
                          kNone, "好", "字段“样本数”是是/否类型，不是数字", true},
            BadRecordCase{"CountIsDate", JetType::DateTime, kNone, QStringLiteral("日"), 1.0, kNone,
                          "日", "字段“样本数”是日期/时间类型，不是数字"},
            BadRecordCase{"CurrencyBeyond15Digits", JetType::Currency, kNone, QStringLiteral("钱"),
                          JetCurrency{1234567890123456}, kNone, "钱",
                          "字段“样本数”的值有 15 位以上有效数字，不能原样保存"})),
    [](const auto& info) {
      return formatName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });

TEST_P(JetFile, RefusesAnIdentifierThatIsNotText) {
  JetTable table = phb({{kNone, std::int64_t(42), kNone, kNone}});
  table.columns[1] = {QStringLiteral("标识符"), JetType::Long};
  const auto error = failureOf([&] { readAll(write(table)); });
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->message().contains(
      QStringLiteral("第 1 条记录（没有标识符）不能原样转换：字段“标识符”是数字类型，不是文本")))
      << error->message().toStdString();
}

// ---- files that cannot be read at all --------------------------------------------------

struct BadFileCase {
  const char* name;
  Kind kind;
  const char* says;  // a part of the message
  std::function<void(QByteArray&, JetVersion)> damage;
  JetTable table;
  testsupport::JetFileOptions options;
};

int pageSize(JetVersion v) { return v == JetVersion::Jet4 ? 4096 : 2048; }

JetTable somePhb() {
  std::vector<JetRow> rows;
  for (int i = 0; i < 300; ++i)
    rows.push_back(
        {jetDays(2004, 1, 1 + i % 28), QStringLiteral("样%1").arg(i), std::int64_t(i), 7.0});
  return phb(rows);
}

std::vector<BadFileCase> badFiles() {
  const auto cut = [](double keep) {
    return [keep](QByteArray& b, JetVersion) { b.truncate(qsizetype(b.size() * keep)); };
  };
  JetTable otherTable = somePhb();
  otherTable.name = QStringLiteral("phbx");
  JetTable moved = somePhb();
  moved.movedRows = {5};
  JetTable noCount = somePhb();
  noCount.columns[2].name = QStringLiteral("样本");
  return {
      {"Empty",
       Kind::NotJet,
       "不是 Access (Jet) 数据库",
       [](QByteArray& b, JetVersion) { b.clear(); },
       somePhb(),
       {}},
      {"Sqlite",
       Kind::NotJet,
       "不是 Access (Jet) 数据库",
       [](QByteArray& b, JetVersion) { b.replace(0, 16, QByteArray("SQLite format 3\0", 16)); },
       somePhb(),
       {}},
      {"CutInTheEngineName",
       Kind::Damaged,
       "已经损坏或不完整",
       [](QByteArray& b, JetVersion) { b.truncate(10); },
       somePhb(),
       {}},
      {"CutInTheHeader", Kind::Damaged, "已经损坏或不完整", cut(0.0005), somePhb(), {}},
      {"CutInHalf", Kind::Damaged, "已经损坏或不完整", cut(0.5), somePhb(), {}},
      {"LastByteMissing",
       Kind::Damaged,
       "已经损坏或不完整",
       [](QByteArray& b, JetVersion) { b.chop(1); },
       somePhb(),
       {}},
      {"LastPageMissing",
       Kind::Damaged,
       "已经损坏或不完整",
       [](QByteArray& b, JetVersion v) { b.chop(pageSize(v)); },
       somePhb(),
       {}},
      {"CatalogPageZeroed",
       Kind::Damaged,
       "已经损坏或不完整",
       [](QByteArray& b, JetVersion v) {
         b.replace(2 * pageSize(v), pageSize(v), QByteArray(pageSize(v), 0));
       },
       somePhb(),
       {}},
      {"Password", Kind::Encrypted, "设有数据库密码或已加密", nullptr, somePhb(), {"secret", 0}},
      {"Encoded", Kind::Encrypted, "设有数据库密码或已加密", nullptr, somePhb(), {{}, 0x1234abcd}},
      {"AceVersion",
       Kind::NewerFormat,
       "Access 2007 或更新版本",
       [](QByteArray& b, JetVersion) { b[0x14] = 2; },
       somePhb(),
       {}},
      {"AceName",
       Kind::NewerFormat,
       "Access 2007 或更新版本",
       [](QByteArray& b, JetVersion) { b.replace(4, 15, "Standard ACE DB"); },
       somePhb(),
       {}},
      {"MovedRowPointsPastTheEnd",
       Kind::Damaged,
       "已经损坏或不完整",
       [](QByteArray& b, JetVersion v) {
         // Record 6's slot on the table's first data page holds the pointer.
         const int page = 5 * pageSize(v),
                   slot = page + (v == JetVersion::Jet4 ? 12 : 8) + 2 + 2 * 5;
         const int at = page + ((std::uint8_t(b[slot]) | std::uint8_t(b[slot + 1]) << 8) & 0x1fff);
         b[at + 3] = char(0x7f);
       },
       moved,
       {}},
      {"NoTablePhb", Kind::TableMissing, "中找不到表“phb”", nullptr, otherTable, {}},
      {"NoFieldCount", Kind::FieldMissing, "中找不到字段“样本数”", nullptr, noCount, {}},
  };
}

void PrintTo(const BadFileCase& c, std::ostream* os) { *os << c.name; }

class BadFiles : public testing::TestWithParam<std::tuple<JetVersion, BadFileCase>> {};

TEST_P(BadFiles, GetOneMessageAndStayUnchanged) {
  const auto& [version, c] = GetParam();
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  QByteArray bytes = testsupport::jetFileBytes(version, c.table, c.options);
  if (c.damage) c.damage(bytes, version);
  writeBytes(path, bytes);
  const auto error = failureOf([&] { readAll(path); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), c.kind) << error->message().toStdString();
  EXPECT_TRUE(error->message().contains(QString::fromUtf8(c.says)) &&
              error->message().contains(path))
      << error->message().toStdString();
  EXPECT_EQ(bytesOf(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, BadFiles,
                         testing::Combine(testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                                          testing::ValuesIn(badFiles())),
                         [](const auto& info) {
                           return formatName(std::get<0>(info.param)) + "_" +
                                  std::get<1>(info.param).name;
                         });

TEST(JetFileMissing, IsSaidSo) {
  const auto error =
      failureOf([] { JetPhbReader reader(QStringLiteral("/nonexistent/phjz.mdb")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), Kind::FileMissing);
}

// Any single damaged byte either reads or is refused with a message: libmdb never crashes,
// hangs or prints.
TEST_P(JetFile, SurvivesEveryFlippedByteOfItsStructure) {
  std::vector<JetRow> rows;
  for (int i = 0; i < 60; ++i)
    rows.push_back({jetDays(2004, 1, 1 + i % 28), QStringLiteral("样%1").arg(i), std::int64_t(i),
                    i % 3 ? testsupport::JetValue(7.0) : kNone});
  JetTable table = phb(rows);
  table.movedRows = {1, 59};
  const QByteArray clean = testsupport::jetFileBytes(GetParam(), table);
  const QString path = dir_.filePath(QStringLiteral("phjz.mdb"));

  // Everything libmdb prints goes to a file that must stay empty.
  QTemporaryDir errDir;
  const QByteArray errPath = QFile::encodeName(errDir.filePath(QStringLiteral("stderr")));
  const int saved = dup(2);
  FILE* err = std::fopen(errPath.constData(), "w");
  dup2(fileno(err), 2);

  // Header, usage maps, both table definitions, the catalog's rows, the table's rows and
  // the moved rows' page; every other byte of the larger Jet 4 pages, to keep the run short.
  const int structure = pageSize(GetParam()) * 7, step = GetParam() == JetVersion::Jet4 ? 2 : 1;
  int refused = 0;
  for (int at = 0; at < clean.size() && at < structure; at += step) {
    {
      QByteArray bytes = clean;
      bytes[at] = char(~bytes[at]);
      writeBytes(path, bytes);
      try {
        JetPhbReader reader(path);
        for (PhbRecord r; reader.next(r);) {
        }
      } catch (const JetReadError&) {
        ++refused;
      }
    }
  }
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(err);
  EXPECT_GT(refused, 0);
  EXPECT_EQ(bytesOf(QFile::decodeName(errPath)), QByteArray());
}

INSTANTIATE_TEST_SUITE_P(Formats, JetFile, testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto& info) { return formatName(info.param); });

}  // namespace
}  // namespace sorvane::store
