// An Access phjz.mdb beside the program: whichever of the results window and the report
// opens it first converts it, with one message, and both then show every record with the
// same day in its date.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>

#include "ResultsProgram.h"
#include "fakes/FakePlatform.h"
#include "jet/JetConversion.h"
#include "results/JetFileOpening.h"
#include "results/ResultsReport.h"
#include "results/frmPHZ.h"
#include "store/PhbFields.h"
#include "store/StoreTestFiles.h"
#include "support/JetFixtures.h"
#include "support/JetWriter.h"
#include "widgets/DataNavigator.h"

namespace sorvane::results {
namespace {

namespace phb = store::phb;
using testsupport::JetVersion;

// Dates far before and after today's, in the order the old program filed them.
const std::vector<std::tuple<QDate, QString, double, double>> kRows{
    {QDate(1905, 3, 7), QStringLiteral("东湖一号"), 3, 7.26},
    {QDate(2045, 12, 31), QStringLiteral("西河"), 12, 6.5},
    {QDate(1999, 12, 31), QStringLiteral("千年"), 1, 8.01}};

QString writeOldFile(const QString& folder, JetVersion version) {
  std::vector<testsupport::JetRow> rows;
  for (const auto& [date, identifier, count, mean] : kRows)
    rows.push_back({testsupport::jetDays(date.year(), date.month(), date.day()), identifier,
                    std::int64_t(count), mean});
  const QString path = QDir(folder).filePath(QStringLiteral("phjz.mdb"));
  testsupport::writeJetFile(path, version, testsupport::phbTable(rows));
  return path;
}

struct Case {
  JetVersion version;
  bool reportFirst;
  const char* name;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class JetFileOpening : public testing::TestWithParam<Case> {};

TEST_P(JetFileOpening, IsConvertedOnceAndShownByTheWindowAndTheReport) {
  QTemporaryDir folder;
  const QString path = writeOldFile(folder.path(), GetParam().version);
  const QByteArray original = store::testfiles::fileBytes(path);
  fakes::FakePlatform fake;
  fake.services.programFolder = folder.path();
  FakeMainWindow main;

  const auto print = [&] {
    EXPECT_EQ(ResultsReport(fake.services).print(), ResultsReport::Outcome::Printed);
  };
  if (GetParam().reportFirst) print();
  frmPHZ window(fake.services, main);
  window.show();
  if (!GetParam().reportFirst) print();

  const QString kept = jet::keptOriginalName(path, 1);
  EXPECT_EQ(fake.messageBox.messages,
            QStringList{QStringLiteral("旧版 Access 结果数据库中的 3 条记录已全部转换为新的格式。"
                                       "原来的文件原样保存在“%1”。")
                            .arg(kept)});
  EXPECT_EQ(store::testfiles::fileBytes(kept), original);
  QStringList lines;
  for (const auto& [date, identifier, count, mean] : kRows) {
    lines << ResultsReport::recordLine(date, identifier, count, mean);
    EXPECT_EQ(window.txtFields[phb::Date]->text(), QLocale().toString(date, QLocale::ShortFormat));
    EXPECT_EQ(window.txtFields[phb::Identifier]->text(), identifier);
    window.Data1->Recordset().moveNext();
  }
  EXPECT_EQ(fake.printers.lines, lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, JetFileOpening,
                         testing::Values(Case{JetVersion::Jet3, false, "Jet3_WindowFirst"},
                                         Case{JetVersion::Jet4, true, "Jet4_ReportFirst"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JetFileRefused, GivesOneMessageEachAndChangesNothing) {
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
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("数据错误事件命中错误：") + why) &&
              messages[1].startsWith(QStringLiteral("无法打印报表：") + why))
      << messages.join(u'\n').toStdString();
  EXPECT_TRUE(fake.printers.lines.isEmpty());
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"phjz.mdb"});
  EXPECT_EQ(store::testfiles::fileBytes(path), bytes);
}

// The window's opening runs the conversion in a child: a file that once made libmdb eat
// memory or print gets the damaged-file message, the same each time, with nothing printed
// and no file changed.
class DamagedJetFile : public testing::TestWithParam<testsupport::PropertyDamage> {};

TEST_P(DamagedJetFile, IsRefusedTheSameWayEachTimeItIsOpened) {
  const QByteArray bytes = testsupport::damagedAccess2000(GetParam());
  if (bytes.isEmpty())
    GTEST_SKIP()
        << testsupport::fixturesMissing(QStringLiteral("functionsV2000.mdb")).toStdString();
  QTemporaryDir folder;
  const QString path = QDir(folder.path()).filePath(QStringLiteral("phjz.mdb"));
  store::testfiles::writeBytes(path, bytes);
  fakes::FakePlatform fake;
  testsupport::CapturedOutput printed;
  for (int opening = 0; opening < 2; ++opening) {
    try {
      bringJetFileOver(fake.services, path, nullptr);
      ADD_FAILURE() << "converted";
    } catch (const store::StoreError& error) {
      EXPECT_EQ(
          error.message(),
          QStringLiteral("“%1”已经损坏或不完整，不能读取其中的记录。文件没有改动。").arg(path));
    }
  }
  EXPECT_EQ(printed.taken(), QByteArray());
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"phjz.mdb"});
  EXPECT_EQ(store::testfiles::fileBytes(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Access2000, DamagedJetFile,
                         testing::ValuesIn(testsupport::kPropertyDamages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::results
