#include "results/ResultsReport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDate>
#include <QLocale>
#include <vector>

#include "fakes/FakePlatform.h"
#include "fakes/FakePrinter.h"
#include "results/RecordSet.h"
#include "results/StoreTestFiles.h"

namespace sorvane::results {
namespace {

using fakes::FakePrinterProvider;
using fakes::PrintEvent;

// Rows in table order (日期, 标识符, 样本数, pH均值), read forward like the report's query.
class RowSnapshot final : public Snapshot {
 public:
  explicit RowSnapshot(std::vector<std::vector<QVariant>> rows) : rows_(std::move(rows)) {}
  bool eof() const override { return at_ >= rows_.size(); }
  void moveNext() override { ++at_; }
  QVariant field(const QString& name) const override {
    return rows_.at(at_).at(fieldNames().indexOf(name));
  }
  void close() override {}

 private:
  std::vector<std::vector<QVariant>> rows_;
  std::size_t at_ = 0;
};

std::vector<std::vector<QVariant>> numberedRows(int count) {
  std::vector<std::vector<QVariant>> rows;
  for (int i = 1; i <= count; ++i)
    rows.push_back({QDate(2004, 1, 29), QStringLiteral("R%1").arg(i), 5.0, 7.26});
  return rows;
}

struct PagingCase {
  const char* name;
  float scaleTop;
  float scaleHeight;
  float lineHeight;
  int records;
  std::vector<int> linesPerPage;
};

void PrintTo(const PagingCase& c, std::ostream* os) { *os << c.name; }

class ReportPaging : public testing::TestWithParam<PagingCase> {};

TEST_P(ReportPaging, BreaksPagesAtTheLimitAndNeverLeavesATrailingPage) {
  const PagingCase& c = GetParam();
  FakePrinterProvider printers;
  printers.scaleTop = c.scaleTop;
  printers.scaleHeight = c.scaleHeight;
  printers.lineHeight = c.lineHeight;
  RowSnapshot records(numberedRows(c.records));
  auto printer = printers.openDefault();

  EXPECT_EQ(ResultsReport::printRecords(records, *printer), c.records);
  printer->endDoc();

  std::vector<int> counts;
  for (const QStringList& page : printers.pages()) counts.push_back(int(page.size()));
  EXPECT_EQ(counts, c.linesPerPage);
  // Every line at the left margin, every page starting one inch down, lines in table order.
  int number = 0;
  bool pageStart = true;
  for (const PrintEvent& event : printers.events) {
    if (event.kind == PrintEvent::Kind::Line) {
      EXPECT_EQ(event.text, QStringLiteral("2004\tR%1\t5\t 7.26").arg(++number));
      EXPECT_EQ(event.x, 1440);
      if (pageStart) EXPECT_EQ(event.y, 1440) << "line " << number;
    }
    pageStart = event.kind == PrintEvent::Kind::NewPage;
  }
  ASSERT_FALSE(printers.events.empty());
  EXPECT_EQ(printers.events.back().kind, PrintEvent::Kind::EndDoc);
  EXPECT_NE(printers.events.rbegin()[1].kind, PrintEvent::Kind::NewPage);
}

// Limit = top + height - 1440. With height 3840 the limit is 2400, reached after four lines
// of 240 exactly.
INSTANTIATE_TEST_SUITE_P(
    Cases, ReportPaging,
    testing::Values(
        PagingCase{"ExactDivisorSendsNextLineOn", 0, 3840, 240, 6, {4, 2}},
        PagingCase{"LastLineReachingLimitLeavesNoPage", 0, 3840, 240, 4, {4}},
        PagingCase{"SeveralFullPages", 0, 3840, 240, 9, {4, 4, 1}},
        // Second line starts at 2399, one twip above the limit, and still goes on the page.
        PagingCase{"LineJustAboveLimitStaysOnPage", 0, 3840, 959, 3, {2, 1}},
        // The drawing area's top moves the limit down with it: 100 + 3840 - 1440.
        PagingCase{"TopCountsInLimit", 100, 3840, 240, 6, {5, 1}},
        // A page too short for the margins still prints one line per page.
        PagingCase{"TinyPageOneLineEach", 0, 2000, 240, 3, {1, 1, 1}}),
    [](const testing::TestParamInfo<PagingCase>& info) { return std::string(info.param.name); });

struct LineCase {
  const char* name;
  std::vector<QVariant> row;
  const char16_t* expected;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class ReportLine : public testing::TestWithParam<LineCase> {};

TEST_P(ReportLine, JoinsTheFourColumnsWithSingleTabs) {
  const LineCase& c = GetParam();
  RowSnapshot record({c.row});
  EXPECT_EQ(ResultsReport::recordLine(record), QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportLine,
    testing::Values(
        LineCase{"Typical", {QDate(2004, 1, 29), u"A-01"_qs, 5.0, 7.26}, u"2004\tA-01\t5\t 7.26"},
        LineCase{
            "YearOnlyOfLateDate", {QDate(2004, 12, 31), u"A"_qs, 3.0, 7.0}, u"2004\tA\t3\t 7.00"},
        LineCase{"EarlyYearPadded", {QDate(812, 5, 1), u"x"_qs, 2.0, 6.5}, u"0812\tx\t2\t 6.50"},
        LineCase{"ChineseIdentifierFractionalCount",
                 {QDate(2010, 6, 1), u"水样一号"_qs, 2.5, 10.0},
                 u"2010\t水样一号\t2.5\t 10.00"},
        LineCase{"SmallMeanKeepsLeadingZero",
                 {QDate(2001, 1, 1), u"b"_qs, 4.0, 0.5},
                 u"2001\tb\t4\t 0.50"},
        LineCase{
            "MeanRoundedToTwo", {QDate(2001, 1, 1), u"b"_qs, 4.0, 6.999}, u"2001\tb\t4\t 7.00"},
        LineCase{
            "NoValuesPrintEmpty", {QVariant(), QVariant(), QVariant(), QVariant()}, u"\t\t\t"}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(ReportLineLocale, UsesAFullStopWhateverTheLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  RowSnapshot record({{QDate(2004, 1, 29), u"A"_qs, 2.5, 7.26}});
  const QString line = ResultsReport::recordLine(record);
  QLocale::setDefault(saved);
  EXPECT_EQ(line, u"2004\tA\t2.5\t 7.26"_qs);
}

void addRecord(const QString& path, const QString& date, const QString& identifier,
               const QString& count, const QString& mean) {
  auto records = RecordSet::open(path);
  records->addNew();
  const QStringList texts{date, identifier, count, mean};
  for (int i = 0; i < texts.size(); ++i) records->setFieldText(fieldNames()[i], texts[i]);
  records->update();
  records->close();
}

// The whole report against real files: what reaches the printer and the message box.
struct RunCase {
  const char* name;
  // Prepares the folder's phjz.mdb (a fresh empty one to start with) and the printers.
  void (*prepare)(testfiles::TempDatabase& file, FakePrinterProvider& printers);
  ResultsReport::Outcome outcome;
  int lines;             // printed lines in all
  const char16_t* says;  // part of the one message, or nullptr for no message
  bool jobSent;          // an end of document reached the printer
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class ReportRun : public testing::TestWithParam<RunCase> {};

TEST_P(ReportRun, PrintsOrSaysWhyNot) {
  const RunCase& c = GetParam();
  testfiles::TempDatabase file;
  fakes::FakePlatform platform;
  platform.services.programFolder = file.folder();
  c.prepare(file, platform.printers);

  EXPECT_EQ(ResultsReport(platform.services).print(), c.outcome);

  EXPECT_EQ(platform.printers.lines().size(), c.lines);
  EXPECT_EQ(platform.printers.ended, c.jobSent ? 1 : 0);
  if (c.says) {
    ASSERT_EQ(platform.messageBox.messages.size(), 1);
    EXPECT_TRUE(platform.messageBox.messages[0].contains(QString::fromUtf16(c.says)))
        << platform.messageBox.messages[0].toStdString();
  } else {
    EXPECT_TRUE(platform.messageBox.messages.isEmpty());
  }
}

void twoRecords(testfiles::TempDatabase& file, FakePrinterProvider&) {
  addRecord(file.path(), u"2004-01-29"_qs, u"A-01"_qs, u"5"_qs, u"7.26"_qs);
  addRecord(file.path(), u"2004-11-02"_qs, u"A-02"_qs, u"2.5"_qs, u"7"_qs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportRun,
    testing::Values(
        RunCase{"Records", twoRecords, ResultsReport::Outcome::Printed, 2, nullptr, true},
        RunCase{"EmptyTableSendsNoJob", [](testfiles::TempDatabase&, FakePrinterProvider&) {},
                ResultsReport::Outcome::Empty, 0, u"没有记录", false},
        RunCase{"TableMissing",
                [](testfiles::TempDatabase& file, FakePrinterProvider&) {
                  sqlite3* db = nullptr;
                  sqlite3_open(file.path().toUtf8().constData(), &db);
                  sqlite3_exec(db, "DROP TABLE phb", nullptr, nullptr, nullptr);
                  sqlite3_close(db);
                },
                ResultsReport::Outcome::Failed, 0, u"phb", false},
        RunCase{"NoPrinter",
                [](testfiles::TempDatabase& file, FakePrinterProvider& printers) {
                  twoRecords(file, printers);
                  printers.noPrinter = true;
                },
                ResultsReport::Outcome::Failed, 0, u"打印机", false},
        RunCase{"PrinterFailsMidway",
                [](testfiles::TempDatabase& file, FakePrinterProvider& printers) {
                  twoRecords(file, printers);
                  printers.failAtLine = 1;
                },
                ResultsReport::Outcome::Failed, 1, u"没有打印完", false}),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(ReportPath, FindsTheFileWithOrWithoutTrailingSeparator) {
  testfiles::TempDatabase file;
  addRecord(file.path(), u"2004-01-29"_qs, u"A-01"_qs, u"5"_qs, u"7.26"_qs);
  for (const QString& folder : {file.folder(), file.folder() + u'/'}) {
    fakes::FakePlatform platform;
    platform.services.programFolder = folder;
    EXPECT_EQ(ResultsReport(platform.services).print(), ResultsReport::Outcome::Printed)
        << folder.toStdString();
    EXPECT_EQ(platform.printers.lines(), QStringList{u"2004\tA-01\t5\t 7.26"_qs});
  }
}

}  // namespace
}  // namespace sorvane::results
