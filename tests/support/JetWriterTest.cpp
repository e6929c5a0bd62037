// The test writer is only useful if a real Jet reader sees exactly what it wrote: mdbtools'
// command-line tools read each written file back here.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

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

class JetWriterTest : public testing::TestWithParam<JetVersion> {};

TEST_P(JetWriterTest, MdbtoolsReadBackEveryValue) {
  // phb with the other numeric types; values that print exactly, over many pages, with
  // nulls and empty texts (which mdb-export shows as null too).
  JetTable table = phbTable({}, JetType::Long);
  table.columns.insert(table.columns.end(), {{QStringLiteral("单精度"), JetType::Single},
                                             {QStringLiteral("整数"), JetType::Integer},
                                             {QStringLiteral("货币"), JetType::Currency}});
  const QStringList ids{QStringLiteral("水样"), QStringLiteral("A-"), QStringLiteral("东湖ü")};
  QStringList want;
  for (int i = 0; i < 3000; ++i) {
    // Years from 1900 to 2199 cover the two-digit-year boundaries on both sides.
    const QDateTime at(QDate(1900 + i % 300, 1 + i % 12, 1 + i % 28),
                       QTime(i % 24, i % 60, (i * 7) % 60), Qt::UTC);
    JetRow r{jetDays(at.date().year(), at.date().month(), at.date().day(), at.time().hour(),
                     at.time().minute(), at.time().second()),
             i % 13 == 5 ? QString() : ids[i % 3] + QString::number(i),
             std::int64_t(i * 1000 - 1000000),
             (i % 56) / 4.0,
             i / 8.0,
             std::int64_t(i % 65536 - 32768),
             JetCurrency{std::int64_t(i) * 123457 - 90000000}};
    QStringList line{'"' + at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + '"',
                     i % 13 == 5 ? QStringLiteral("NULL") : '"' + std::get<QString>(r[1]) + '"',
                     QString::number(i * 1000 - 1000000),
                     QString::number((i % 56) / 4.0),
                     QString::number(i / 8.0),
                     QString::number(i % 65536 - 32768),
                     QString::asprintf("%.4f", (i * 123457.0 - 90000000) / 10000)};
    for (size_t c = 0; c < r.size(); ++c)
      if ((i + int(c)) % 11 == 0) r[c] = std::monostate{}, line[qsizetype(c)] = "NULL";
    table.rows.push_back(r);
    want << line.join(u',');
  }
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
  writeJetFile(path, GetParam(), table);

  EXPECT_EQ(run("mdb-ver", {path}), GetParam() == JetVersion::Jet4 ? "JET4\n" : "JET3\n");
  EXPECT_TRUE(run("mdb-schema", {path, "access"})
                  .contains(QStringLiteral("CREATE TABLE [phb]\n (\n"
                                           "\t[日期]\t\t\tDateTime, \n"
                                           "\t[标识符]\t\t\tText (20), \n"
                                           "\t[样本数]\t\t\tLong Integer, \n"
                                           "\t[pH均值]\t\t\tDouble, \n"
                                           "\t[单精度]\t\t\tSingle, \n"
                                           "\t[整数]\t\t\tInteger, \n"
                                           "\t[货币]\t\t\tCurrency\n);")));
  const QStringList lines =
      run("mdb-export", {"-H", "-0", "NULL", "-T", "%Y-%m-%d %H:%M:%S", path, "phb"})
          .split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), want.size());
  for (qsizetype i = 0; i < lines.size(); ++i)
    ASSERT_EQ(lines[i].toStdString(), want[i].toStdString()) << "row " << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, JetWriterTest,
                         testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         testing::PrintToStringParamName());

}  // namespace
}  // namespace sorvane::testsupport
