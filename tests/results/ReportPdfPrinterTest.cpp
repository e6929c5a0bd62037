// The report through its own code to the default printer, read back from the PDF it makes.
// Runs only where that printer is the cups-pdf queue; elsewhere skipped with the reason.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "FakeMainWindow.h"
#include "fakes/FakePlatform.h"
#include "platform/QtPrinter.h"
#include "results/ResultsReport.h"
#include "store/StoreTestFiles.h"

namespace sorvane::results {
namespace {

QString output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000)) return {};
  return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
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

// Waits until the queue is empty, then returns the newest PDF in the folder cups-pdf writes
// to if it came out after `since`.
QString waitForPdf(const QDateTime& since) {
  const QDir folder(QDir::homePath() + u"/PDF"_qs);
  const QString printer = QPrinterInfo::defaultPrinter().printerName();
  for (int tries = 0; tries < 300; ++tries) {
    QThread::msleep(300);
    if (!output(u"lpstat"_qs, {u"-o"_qs, printer}).trimmed().isEmpty()) continue;
    const auto files = folder.entryInfoList({u"*.pdf"_qs}, QDir::Files, QDir::Time);
    if (!files.isEmpty() && files[0].lastModified() >= since) return files[0].absoluteFilePath();
  }
  return {};
}

TEST(ReportOnPdfPrinter, AFullPageStaysOnOnePageAndOneMoreLineStartsTheNext) {
  if (const QString why = pdfPrinterMissing(); !why.isEmpty())
    GTEST_SKIP() << "SKIPPED: " << why.toStdString();
  int perPage = 0;  // lines on a page of the default printer
  {
    platform::QtPrinterProvider provider;
    auto job = provider.openDefault();  // never prints, so nothing is sent
    auto& printer = dynamic_cast<platform::QtPrinter&>(*job);
    const float limit = printer.scaleTop() + printer.scaleHeight() - ResultsReport::kBottomMargin;
    for (float y = ResultsReport::kTop; y < limit || perPage == 0; y += printer.lineHeight())
      ++perPage;
  }
  for (const int records : {perPage, perPage + 1}) {
    SCOPED_TRACE(records);
    store::testfiles::TempDatabase file;
    QStringList expected;
    for (int i = 0; i < records; ++i) {
      store::testfiles::seedRecords(file.path(), {{.identifier = u"E2E-%1"_qs.arg(i)}});
      expected.append(u"2024|E2E-%1|5|7.20"_qs.arg(i));
    }
    const QDateTime since = QDateTime::currentDateTime().addMSecs(-10);
    fakes::FakePlatform platform;
    platform::QtPrinterProvider printers;
    platform.services.printers = &printers;
    platform.services.programFolder = file.folder();
    ASSERT_EQ(ResultsReport(platform.services).print(), ResultsReport::Outcome::Printed)
        << platform.messageBox.messages.join(u'\n').toStdString();
    const QString pdf = waitForPdf(since);
    ASSERT_FALSE(pdf.isEmpty()) << "no new PDF in ~/PDF";
    // Pages end in a form feed; text past the page's edge is left out, so it counts as missing.
    QStringList pages = output(u"pdftotext"_qs, {u"-raw"_qs, pdf, u"-"_qs}).split(u'\f');
    QFile::remove(pdf);

    pages.removeLast();
    ASSERT_EQ(pages.size(), records > perPage ? 2 : 1) << pages.join(u"\f").toStdString();
    QStringList lines;
    for (const QString& page : pages)
      for (const QString& line : page.split(u'\n', Qt::SkipEmptyParts))
        lines.append(line.split(u' ', Qt::SkipEmptyParts).join(u'|'));
    EXPECT_EQ(int(pages[0].split(u'\n', Qt::SkipEmptyParts).size()), perPage);
    EXPECT_EQ(lines.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
  }
}

}  // namespace
}  // namespace sorvane::results
