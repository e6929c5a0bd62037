#include "results/ResultsReport.h"

#include <gtest/gtest.h>

#include <QLocale>

#include "fakes/FakePlatform.h"
#include "store/Snapshot.h"
#include "store/StoreTestFiles.h"

namespace sorvane::results {

using store::Snapshot;
namespace {

// The limit is top + height - 1440: with height 3840, 2400, reached after four lines of 240.
TEST(ReportPaging, BreaksPagesAtTheLimitAndNeverLeavesATrailingPage) {
  const struct {
    const char* name;
    float top, lineHeight;
    int records;
    std::vector<int> linesPerPage;
  } cases[] = {
      {"exact divisor sends the next line on, the last leaves no page", 0, 240, 8, {4, 4}},
      {"line starting one twip above the limit stays", 0, 959, 3, {2, 1}},
      {"the top moves the limit", 100, 240, 6, {5, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    store::testfiles::TempDatabase file;
    store::testfiles::seedRecords(file.path(), std::vector<store::testfiles::Record>(c.records));
    fakes::FakePrinterProvider printers;
    printers.scaleTop = c.top;
    printers.scaleHeight = 3840;
    printers.lineHeight = c.lineHeight;
    EXPECT_EQ(ResultsReport::printRecords(*Snapshot::open(file.path()), *printers.openDefault()),
              c.records);

    std::vector<int> counts;
    for (const auto& page : printers.pages) {
      counts.push_back(int(page.size()));
      if (!page.empty()) EXPECT_EQ(page.front().y(), 1440);  // one inch down on every page
      for (const auto& line : page) EXPECT_EQ(line.x(), 1440);
    }
    EXPECT_EQ(counts, c.linesPerPage);
  }
}

// The whole report against real files: what reaches the printer and the one message.
// Numbers print with a full stop whatever the locale, as everywhere in the program.
TEST(ReportRun, PrintsOrSaysWhyNot) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  using enum ResultsReport::Outcome;
  enum Fault { None, EmptyTable, NoPrinter, BreaksDown };
  const QStringList both{u"2004\tA-01\t5\t 7.26"_qs, u"2004\tA-02\t2.5\t 7.00"_qs};
  const struct {
    const char* name;
    Fault fault;
    ResultsReport::Outcome outcome;
    QStringList lines;
    QString says;  // part of the one message; empty for none
  } cases[] = {
      {"records", None, Printed, both, {}},
      {"empty table", EmptyTable, Empty, {}, u"没有记录"_qs},
      {"no printer", NoPrinter, Failed, {}, u"打印机"_qs},
      {"printer fails midway", BreaksDown, Failed, {both[0]}, u"没有打印完"_qs},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    store::testfiles::TempDatabase file;
    if (c.fault != EmptyTable)
      store::testfiles::seedRecords(
          file.path(), {{"2004-01-29", "A-01", "5", "7.26"}, {"2004-12-31", "A-02", "2.5", "7"}});
    fakes::FakePlatform platform;
    platform.services.programFolder = file.folder();
    platform.printers.noPrinter = c.fault == NoPrinter;
    platform.printers.failAtLine = c.fault == BreaksDown ? 1 : -1;

    EXPECT_EQ(ResultsReport(platform.services).print(), c.outcome);
    EXPECT_EQ(platform.printers.lines, c.lines);
    // A job is sent only when every line is printed.
    EXPECT_EQ(platform.printers.ended, c.outcome == Printed ? 1 : 0);
    const QStringList& messages = platform.messageBox.messages;
    EXPECT_EQ(messages.size(), c.says.isEmpty() ? 0 : 1);
    EXPECT_TRUE(messages.join(u'\n').contains(c.says)) << messages.join(u'\n').toStdString();
  }
  QLocale::setDefault(saved);
}

}  // namespace
}  // namespace sorvane::results
