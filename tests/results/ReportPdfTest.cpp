// The report as the printer object draws it, into a PDF file, read back with pdftotext:
// where each column starts on the page, and that Chinese text comes out as written.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <map>

#include "platform/QtPrinter.h"
#include "results/ResultsReport.h"
#include "store/Snapshot.h"
#include "store/StoreTestFiles.h"

namespace sorvane::results {
namespace {

struct Word {
  QString text;
  double left;  // points from the page's left edge
};

// The PDF's words line by line, from pdftotext's bounding boxes.
std::vector<std::vector<Word>> wordsByLine(const QString& pdf) {
  QProcess pdftotext;
  pdftotext.start(u"pdftotext"_qs, {u"-bbox"_qs, pdf, u"-"_qs});
  pdftotext.waitForFinished(30000);
  static const QRegularExpression word(
      uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re"_qs);
  std::map<int, std::vector<Word>> byTop;  // the words come column by column
  for (const auto& m : word.globalMatch(QString::fromUtf8(pdftotext.readAllStandardOutput())))
    byTop[qRound(m.captured(2).toDouble())].push_back({m.captured(3), m.captured(1).toDouble()});
  std::vector<std::vector<Word>> lines;
  for (auto& [top, words] : byTop) {
    std::sort(words.begin(), words.end(),
              [](const Word& a, const Word& b) { return a.left < b.left; });
    lines.push_back(words);
  }
  return lines;
}

// The columns start at their tab stops, 0.75, 2.75 and 3.75 inches into the line (the
// mean after its leading blank), whatever the identifier's script.
TEST(ReportPdf, ColumnsStandAtTheirStopsAndChineseTextReadsBack) {
  if (QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty())
    GTEST_SKIP() << "SKIPPED: pdftotext is not installed (scripts/setup.sh test installs it)";
  store::testfiles::TempDatabase file;
  store::testfiles::seedRecords(file.path(), {{"2004-01-29", u"样品一号"_qs, "5", "7.26"},
                                              {"2004-12-31", u"W-2"_qs, "12", "7"}});
  QTemporaryDir folder;
  const QString pdf = folder.filePath(u"report.pdf"_qs);
  auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
  device->setOutputFormat(QPrinter::PdfFormat);
  device->setOutputFileName(pdf);
  platform::QtPrinter printer(std::move(device));
  ResultsReport::printRecords(*store::Snapshot::open(file.path()), printer);
  printer.endDoc();

  const auto lines = wordsByLine(pdf);
  const QStringList texts[] = {{"2004", u"样品一号"_qs, "5", "7.26"},
                               {"2004", "W-2", "12", "7.00"}};
  ASSERT_EQ(lines.size(), std::size(texts));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(texts[i].join(u' ').toStdString());
    const std::vector<Word>& words = lines[i];
    ASSERT_EQ(words.size(), 4u);
    for (int column = 0; column < 4; ++column) EXPECT_EQ(words[column].text, texts[i][column]);
    const double start = words[0].left;
    EXPECT_NEAR(words[1].left - start, 0.75 * 72, 1);
    EXPECT_NEAR(words[2].left - start, 2.75 * 72, 1);
    const double afterBlank = words[3].left - start - 3.75 * 72;
    EXPECT_TRUE(afterBlank > 1 && afterBlank < 8) << afterBlank;
  }
}

}  // namespace
}  // namespace sorvane::results
