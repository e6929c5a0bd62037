// The report read back with pdftotext from real PDFs: drawn by the printer object into a PDF
// file, where each column starts and that Chinese text comes out as written; and through its
// own code to the default printer, where that is the cups-pdf queue.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <algorithm>
#include <map>

#include "fakes/FakePlatform.h"
#include "platform/QtPrinter.h"
#include "results/ResultsReport.h"
#include "store/Snapshot.h"
#include "store/StoreTestFiles.h"

namespace sorvane::results {
namespace {

QString output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000)) return {};
  return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

struct Word {
  QString text;
  double left;  // points from the page's left edge
};

// The PDF's words line by line, from pdftotext's bounding boxes.
std::vector<std::vector<Word>> wordsByLine(const QString& pdf) {
  static const QRegularExpression word(
      uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re"_qs);
  std::map<int, std::vector<Word>> byTop;  // the words come column by column
  for (const auto& m : word.globalMatch(output(u"pdftotext"_qs, {u"-bbox"_qs, pdf, u"-"_qs})))
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

// Why the end-to-end print cannot run here, or nothing when it can.
QString pdfPrinterMissing() {
  for (const QString& tool : {u"lpstat"_qs, u"pdftotext"_qs})
    if (QStandardPaths::findExecutable(tool).isEmpty())
      return tool + u" is not installed (scripts/setup.sh installs it)"_qs;
  const QString scheduler = output(u"lpstat"_qs, {u"-r"_qs}).trimmed();
  if (scheduler != u"scheduler is running"_qs) return u"cupsd cannot be reached: "_qs + scheduler;
  const QString printer = QPrinterInfo::defaultPrinter().printerName();
  if (printer.isEmpty()) return u"cupsd has no default printer"_qs;
  if (!output(u"lpstat"_qs, {u"-v"_qs, printer}).contains(u"cups-pdf:/"_qs))
    return u"the default printer is not the cups-pdf printer; tests print on no real one"_qs;
  return {};
}

// The PDF of the job named `name`, once the job has completed; empty when it does not come
// within 90 seconds. Other jobs may print at the same time, so only the name tells ours:
// cups-pdf names the file after the job's title and adds "-job_" and the job's id. It lets
// Ghostscript write straight into that file, so the file is whole only when the job is.
QString waitForPdf(const QString& name) {
  const QDir folder(QDir::homePath() + u"/PDF"_qs);
  const QString printer = QPrinterInfo::defaultPrinter().printerName();
  static const QRegularExpression labelled(u"-job_(\\d+)\\.pdf$"_qs);
  for (int tries = 0; tries < 300; ++tries) {
    QThread::msleep(300);
    const QStringList files = folder.entryList({name + u"*.pdf"_qs}, QDir::Files);
    if (files.size() != 1) continue;
    const QRegularExpressionMatch job = labelled.match(files[0]);
    if (!job.hasMatch()) continue;
    const QRegularExpression done(
        u"^%1-%2\\s"_qs.arg(QRegularExpression::escape(printer), job.captured(1)),
        QRegularExpression::MultilineOption);
    if (done.match(output(u"lpstat"_qs, {u"-W"_qs, u"completed"_qs, u"-o"_qs, printer})).hasMatch())
      return folder.absoluteFilePath(files[0]);
  }
  return {};
}

// One line more than a page of the default printer holds: a full first page, the last line
// on the next.
TEST(ReportOnPdfPrinter, AFullPageStaysOnOnePageAndOneMoreLineStartsTheNext) {
  if (const QString why = pdfPrinterMissing(); !why.isEmpty())
    GTEST_SKIP() << "SKIPPED: " << why.toStdString();
  int perPage = 0;
  {
    platform::QtPrinterProvider provider;
    auto job = provider.openDefault();  // never prints, so nothing is sent
    auto& printer = dynamic_cast<platform::QtPrinter&>(*job);
    const float limit = printer.scaleTop() + printer.scaleHeight() - ResultsReport::kBottomMargin;
    for (float y = ResultsReport::kTop; y < limit || perPage == 0; y += printer.lineHeight())
      ++perPage;
  }
  store::testfiles::TempDatabase file;
  QStringList expected;
  for (int i = 0; i <= perPage; ++i) {
    store::testfiles::seedRecords(file.path(), {{.identifier = u"E2E-%1"_qs.arg(i)}});
    expected.append(u"2024|E2E-%1|5|7.20"_qs.arg(i));
  }
  // Letters, digits and "-" pass into cups-pdf's file names unchanged.
  const QString name = u"SorvaneE2E-"_qs + QUuid::createUuid().toString(QUuid::Id128);
  fakes::FakePlatform platform;
  platform::QtPrinterProvider printers(name);
  platform.services.printers = &printers;
  platform.services.programFolder = file.folder();
  ASSERT_EQ(ResultsReport(platform.services).print(), ResultsReport::Outcome::Printed)
      << platform.messageBox.messages.join(u'\n').toStdString();
  const QString pdf = waitForPdf(name);
  ASSERT_FALSE(pdf.isEmpty()) << "no completed job's PDF " << name.toStdString()
                              << "*-job_<id>.pdf in ~/PDF";
  // Pages end in a form feed; text past the page's edge is left out, so it counts as missing.
  QStringList pages = output(u"pdftotext"_qs, {u"-raw"_qs, pdf, u"-"_qs}).split(u'\f');
  QFile::remove(pdf);
  pages.removeLast();
  ASSERT_EQ(pages.size(), 2) << pages.join(u"\f").toStdString();
  QStringList lines;
  for (const QString& page : pages)
    for (const QString& line : page.split(u'\n', Qt::SkipEmptyParts))
      lines.append(line.split(u' ', Qt::SkipEmptyParts).join(u'|'));
  EXPECT_EQ(int(pages[0].split(u'\n', Qt::SkipEmptyParts).size()), perPage);
  EXPECT_EQ(lines.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
}

}  // namespace
}  // namespace sorvane::results
