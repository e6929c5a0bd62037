// An Access phjz.mdb beside the program: whichever of the results window and the report
// opens it first converts it, with one message, and both then show every record with the
// same day in its date.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>

#include "ResultsProgram.h"
#include "fakes/FakePlatform.h"
#include "results/OldResultsFile.h"
#include "results/ResultsReport.h"
#include "results/frmPHZ.h"
#include "store/JetConversion.h"
#include "store/PhbFields.h"
#include "store/StoreTestFiles.h"
#include "support/JetWriter.h"
#include "widgets/DataNavigator.h"

namespace sorvane::results {
namespace {

namespace phb = store::phb;
using testsupport::jetDays;
using testsupport::JetType;
using testsupport::JetVersion;

struct Row {
  QDate date;
  QString identifier;
  double count, mean;
};

// Dates far before and after today's, in the order the old program filed them.
const std::vector<Row> kRows{{QDate(1905, 3, 7), QStringLiteral("东湖一号"), 3, 7.26},
                             {QDate(2045, 12, 31), QStringLiteral("西河"), 12, 6.5},
                             {QDate(1999, 12, 31), QStringLiteral("千年"), 1, 8.01}};

QString writeOldFile(const QString& folder, JetVersion version) {
  testsupport::JetTable table{QStringLiteral("phb"),
                              {{QStringLiteral("日期"), JetType::DateTime},
                               {QStringLiteral("标识符"), JetType::Text, 12},
                               {QStringLiteral("样本数"), JetType::Integer},
                               {QStringLiteral("pH均值"), JetType::Double}},
                              {},
                              {}};
  for (const Row& r : kRows)
    table.rows.push_back({jetDays(r.date.year(), r.date.month(), r.date.day()), r.identifier,
                          std::int64_t(r.count), r.mean});
  const QString path = QDir(folder).filePath(QStringLiteral("phjz.mdb"));
  testsupport::writeJetFile(path, version, table);
  return path;
}

QStringList reportLines() {
  QStringList lines;
  for (const Row& r : kRows)
    lines << ResultsReport::recordLine(r.date, r.identifier, r.count, r.mean);
  return lines;
}

enum class First { Window, Report };

void PrintTo(First f, std::ostream* os) {
  *os << (f == First::Window ? "WindowFirst" : "ReportFirst");
}

class OldResultsFile : public testing::TestWithParam<std::tuple<JetVersion, First>> {};

TEST_P(OldResultsFile, IsConvertedOnceAndShownByTheWindowAndTheReport) {
  const auto [version, first] = GetParam();
  QTemporaryDir folder;
  const QString path = writeOldFile(folder.path(), version);
  const QByteArray original = store::testfiles::fileBytes(path);
  fakes::FakePlatform fake;
  fake.services.programFolder = folder.path();
  FakeMainWindow main;

  if (first == First::Report) {
    EXPECT_EQ(ResultsReport(fake.services).print(), ResultsReport::Outcome::Printed);
  }
  frmPHZ window(fake.services, main);
  window.show();
  if (first == First::Window) {
    EXPECT_EQ(ResultsReport(fake.services).print(), ResultsReport::Outcome::Printed);
  }

  const QString kept = store::keptOriginalName(path, 1);
  EXPECT_EQ(fake.messageBox.messages, QStringList{conversionMessage({3, kept})});
  EXPECT_EQ(fake.messageBox.messages.first(),
            QStringLiteral("旧版 Access 结果数据库中的 3 条记录已全部转换为新的格式。"
                           "原来的文件原样保存在“%1”。")
                .arg(kept));
  EXPECT_EQ(store::testfiles::fileBytes(kept), original);
  EXPECT_EQ(fake.printers.lines, reportLines());

  for (const Row& r : kRows) {
    EXPECT_EQ(window.txtFields[phb::Date]->text(),
              QLocale().toString(r.date, QLocale::ShortFormat));
    EXPECT_EQ(window.txtFields[phb::Identifier]->text(), r.identifier);
    if (&r != &kRows.back()) window.Data1->Recordset().moveNext();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OldResultsFile,
    testing::Combine(testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                     testing::Values(First::Window, First::Report)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) == JetVersion::Jet3 ? "Jet3" : "Jet4") +
             (std::get<1>(info.param) == First::Window ? "_WindowFirst" : "_ReportFirst");
    });

TEST(OldResultsFileRefused, GivesOneMessageEachAndChangesNothing) {
  QTemporaryDir folder;
  const QString path = writeOldFile(folder.path(), JetVersion::Jet3);
  QByteArray bytes = store::testfiles::fileBytes(path);
  bytes.truncate(bytes.size() - 100);  // cut short, as a copy broken off halfway
  store::testfiles::writeBytes(path, bytes);
  fakes::FakePlatform fake;
  fake.services.programFolder = folder.path();
  FakeMainWindow main;

  frmPHZ window(fake.services, main);
  window.show();
  EXPECT_EQ(ResultsReport(fake.services).print(), ResultsReport::Outcome::Failed);
  const QStringList& messages = fake.messageBox.messages;
  ASSERT_EQ(messages.size(), 2);
  const QString why = QStringLiteral("“%1”已经损坏或不完整").arg(path);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("数据错误事件命中错误：") + why))
      << messages[0].toStdString();
  EXPECT_TRUE(messages[1].startsWith(QStringLiteral("无法打印报表：") + why))
      << messages[1].toStdString();
  EXPECT_TRUE(fake.printers.lines.isEmpty());
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"phjz.mdb"});
  EXPECT_EQ(store::testfiles::fileBytes(path), bytes);
}

}  // namespace
}  // namespace sorvane::results
