// The test writer is only useful if a real Jet reader sees exactly what it wrote: mdbtools'
// command-line tools read each written file back here.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>

#include "support/JetWriter.h"

namespace sorvane::testsupport {

namespace {

QString run(const QString& program, const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("CP936"));
  process.setProcessEnvironment(env);
  process.start(program, arguments);
  process.waitForFinished(60000);
  EXPECT_EQ(process.exitCode(), 0) << program.toStdString();
  EXPECT_EQ(process.readAllStandardError(), QByteArray()) << program.toStdString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// phb with its four fields and the other numeric types a results file might use.
JetTable sampleTable(int rows) {
  JetTable t{QStringLiteral("phb"),
             {{QStringLiteral("日期"), JetType::DateTime},
              {QStringLiteral("标识符"), JetType::Text, 12},
              {QStringLiteral("样本数"), JetType::Long},
              {QStringLiteral("pH均值"), JetType::Double},
              {QStringLiteral("单精度"), JetType::Single},
              {QStringLiteral("整数"), JetType::Integer},
              {QStringLiteral("货币"), JetType::Currency},
              {QStringLiteral("字节"), JetType::Byte},
              {QStringLiteral("是否"), JetType::Boolean}},
             {},
             {}};
  const QStringList ids{QStringLiteral("水样"), QStringLiteral("A-"), QStringLiteral("东湖ü"),
                        QStringLiteral("pH")};
  for (int i = 0; i < rows; ++i) {
    // Years from 1900 to 2199 cover the two-digit-year boundaries on both sides.
    JetRow r{jetDays(1900 + i % 300, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60),
             ids[i % 4] + QString::number(i),
             std::int64_t(i * 1000 - 1000000),
             (i % 1400) / 100.0,
             i / 3.0,
             std::int64_t(i % 65536 - 32768),
             JetCurrency{std::int64_t(i) * 123457 - 90000000},
             std::int64_t(i % 256),
             i % 3 == 0};
    for (size_t c = 0; c + 1 < r.size(); ++c)
      if ((i + int(c)) % 11 == 0) r[c] = std::monostate{};
    if (i % 13 == 5) r[1] = QString();
    t.rows.push_back(r);
  }
  // mdb-export 1.0 prints dates before 1899-12-30 and after about 4600 as 1900-01-00; the
  // reader's tests check those from the raw values.
  t.rows.push_back({jetDays(2999, 12, 31, 23, 59, 59), QStringLiteral("最后一条记录十二个字符啊"),
                    std::int64_t(2147483647), -1e300, 3.5, std::int64_t(-32768),
                    JetCurrency{INT64_MAX}, std::int64_t(255), false});
  return t;
}

QString currencyText(std::int64_t v) {
  const bool negative = v < 0;
  const unsigned long long a = negative ? 0ull - static_cast<unsigned long long>(v) : v;
  return QStringLiteral("%1%2.%3")
      .arg(negative ? "-" : "")
      .arg(a / 10000)
      .arg(a % 10000, 4, 10, QChar(u'0'));
}

class JetWriterTest : public testing::TestWithParam<JetVersion> {};

TEST_P(JetWriterTest, MdbtoolsReadBackEveryValue) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  const JetTable table = sampleTable(4000);
  writeJetFile(path, GetParam(), table);
  ASSERT_GT(QFileInfo(path).size(), 60 * 2048);  // the rows span many pages

  const bool jet4 = GetParam() == JetVersion::Jet4;
  EXPECT_EQ(run("mdb-ver", {path}), jet4 ? "JET4\n" : "JET3\n");
  EXPECT_EQ(run("mdb-tables", {"-1", path}), "phb\n");
  EXPECT_TRUE(run("mdb-schema", {path, "access"})
                  .contains(QStringLiteral("CREATE TABLE [phb]\n (\n"
                                           "\t[日期]\t\t\tDateTime, \n"
                                           "\t[标识符]\t\t\tText (12), \n"
                                           "\t[样本数]\t\t\tLong Integer, \n"
                                           "\t[pH均值]\t\t\tDouble, \n"
                                           "\t[单精度]\t\t\tSingle, \n"
                                           "\t[整数]\t\t\tInteger, \n"
                                           "\t[货币]\t\t\tCurrency, \n"
                                           "\t[字节]\t\t\tByte, \n"
                                           "\t[是否]\t\t\tBoolean NOT NULL\n);")));

  // mdb-export shows an empty text as null too, so both read back as the null marker.
  const QStringList lines =
      run("mdb-export", {"-H", "-0", "NULL", "-T", "%Y-%m-%d %H:%M:%S", path, "phb"})
          .split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), qsizetype(table.rows.size()));
  const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
  for (size_t i = 0; i < table.rows.size(); ++i) {
    const JetRow& row = table.rows[i];
    const QStringList got = lines[qsizetype(i)].split(u',');
    ASSERT_EQ(got.size(), 9) << i;
    QStringList want;
    for (size_t c = 0; c < row.size(); ++c) {
      const JetValue& v = row[c];
      if (std::holds_alternative<std::monostate>(v) ||
          (std::holds_alternative<QString>(v) && std::get<QString>(v).isEmpty())) {
        want << QStringLiteral("NULL");
      } else if (c == 0) {
        const qint64 ms = std::llround(std::get<double>(v) * 86400.0) * 1000;
        want << '"' + epoch.addMSecs(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + '"';
      } else if (c == 1) {
        want << '"' + std::get<QString>(v) + '"';
      } else if (c == 3 || c == 4) {
        // Floating values print to 16 (Double) or 8 (Single) digits: compare as numbers.
        const double written = std::get<double>(v), read = got[qsizetype(c)].toDouble();
        const double tolerance = std::abs(written) * (c == 3 ? 1e-15 : 1e-7);
        EXPECT_NEAR(read, c == 3 ? written : double(float(written)), tolerance) << i << ' ' << c;
        want << got[qsizetype(c)];
      } else if (c == 6) {
        want << currencyText(std::get<JetCurrency>(v).tenThousandths);
      } else if (c == 8) {
        want << (std::get<bool>(v) ? "1" : "0");
      } else {
        want << QString::number(std::get<std::int64_t>(v));
      }
    }
    ASSERT_EQ(got.join(u',').toStdString(), want.join(u',').toStdString()) << "row " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, JetWriterTest,
                         testing::Values(JetVersion::Jet3, JetVersion::Jet4), [](const auto& info) {
                           return info.param == JetVersion::Jet3 ? "Jet3" : "Jet4";
                         });

}  // namespace
}  // namespace sorvane::testsupport
