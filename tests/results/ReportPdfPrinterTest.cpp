// The report end to end on a real print spooler: the records go through the report's own
// code to the system's default printer, and the PDF that comes out is read back. Runs only
// where that default printer is the cups-pdf queue (never on a real printer); anywhere
// else it is skipped with the reason.

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <map>
#include <vector>

#include "fakes/FakePlatform.h"
#include "platform/QtPrinter.h"
#include "results/RecordSet.h"
#include "results/ResultsReport.h"
#include "results/StoreTestFiles.h"

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
  for (const char* tool : {"lpstat", "pdftotext", "pdfinfo"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
      return QStringLiteral("%1 is not installed (scripts/setup.sh installs it)").arg(tool);
  const QString scheduler = output(QStringLiteral("lpstat"), {QStringLiteral("-r")}).trimmed();
  if (scheduler != QLatin1String("scheduler is running"))
    return QStringLiteral("cupsd cannot be reached: ") + scheduler;
  const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
  if (printer.isNull()) return QStringLiteral("cupsd has no default printer");
  const QString device =
      output(QStringLiteral("lpstat"), {QStringLiteral("-v"), printer.printerName()});
  if (!device.contains(QLatin1String("cups-pdf:/")))
    return QStringLiteral(
               "the default printer %1 is not the cups-pdf printer; a test prints on "
               "no real printer")
        .arg(printer.printerName());
  return {};
}

// Where cups-pdf puts the jobs of this user: its Out setting, ${HOME}/PDF unless changed.
QString pdfFolder() {
  const passwd* user = getpwuid(getuid());
  const QString home = user ? QString::fromLocal8Bit(user->pw_dir) : QDir::homePath();
  const QString name = user ? QString::fromLocal8Bit(user->pw_name) : QString();
  QString folder = QStringLiteral("${HOME}/PDF");
  QFile config(QStringLiteral("/etc/cups/cups-pdf.conf"));
  if (config.open(QIODevice::ReadOnly))
    for (const QByteArray& line : config.readAll().split('\n'))
      if (line.startsWith("Out ")) folder = QString::fromUtf8(line.mid(4).trimmed());
  return folder.replace(QLatin1String("${HOME}"), home).replace(QLatin1String("${USER}"), name);
}

std::map<QString, QDateTime> pdfFiles(const QString& folder) {
  std::map<QString, QDateTime> files;
  for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files))
    files[file.absoluteFilePath()] = file.lastModified();
  return files;
}

// Waits until the queue is empty and a PDF that was not there before has come out.
QString waitForNewPdf(const QString& folder, const std::map<QString, QDateTime>& before,
                      const QString& printer) {
  const QDateTime deadline = QDateTime::currentDateTime().addSecs(90);
  while (QDateTime::currentDateTime() < deadline) {
    QThread::msleep(300);
    if (!output(QStringLiteral("lpstat"), {QStringLiteral("-o"), printer}).trimmed().isEmpty())
      continue;
    for (const auto& [path, modified] : pdfFiles(folder)) {
      const auto old = before.find(path);
      if (old == before.end() || old->second != modified) return path;
    }
  }
  return {};
}

struct Word {
  double left;
  double top;
  QString text;
};

// The words of each page grouped into lines (words whose top edges lie within a few points
// of each other), left to right.
struct PdfText {
  int pages = 0;
  std::vector<std::vector<std::vector<Word>>> lines;
  bool allWithinPage = true;
};

QStringList texts(const std::vector<Word>& line) {
  QStringList result;
  for (const Word& word : line) result.append(word.text);
  return result;
}

PdfText readPdf(const QString& path) {
  PdfText text;
  const QString info = output(QStringLiteral("pdfinfo"), {path});
  text.pages =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
  const QString boxes =
      output(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
  static const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\""));
  static const QRegularExpression word(QStringLiteral(
      "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
  for (const QString& pageText : boxes.split(QStringLiteral("</page>"))) {
    const auto pageMatch = page.match(pageText);
    if (!pageMatch.hasMatch()) continue;
    const double width = pageMatch.captured(1).toDouble();
    std::vector<Word> words;
    for (auto it = word.globalMatch(pageText); it.hasNext();) {
      const auto match = it.next();
      if (match.captured(3).toDouble() > width) text.allWithinPage = false;
      words.push_back(
          {match.captured(1).toDouble(), match.captured(2).toDouble(), match.captured(4)});
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const Word& a, const Word& b) { return a.top < b.top; });
    std::vector<std::vector<Word>> lines;
    for (const Word& w : words) {
      if (lines.empty() || w.top - lines.back().front().top > 4) lines.emplace_back();
      lines.back().push_back(w);
    }
    for (auto& line : lines)
      std::sort(line.begin(), line.end(),
                [](const Word& a, const Word& b) { return a.left < b.left; });
    text.lines.push_back(lines);
  }
  return text;
}

QStringList expectedWords(int i) {
  // Plain letters: the spooler's conversion keeps Latin text readable, CJK glyphs not.
  const QString identifier = QStringLiteral("E2E-%1").arg(i);
  return i % 2 == 0 ? QStringList{u"2004"_qs, identifier, u"5"_qs, u"7.26"_qs}
                    : QStringList{u"2004"_qs, identifier, u"2.5"_qs, u"7.00"_qs};
}

void addRecords(const QString& path, const std::vector<QStringList>& rows) {
  auto table = RecordSet::open(path);
  for (const QStringList& row : rows) {
    table->addNew();
    for (int i = 0; i < row.size(); ++i) table->setFieldText(fieldNames()[i], row[i]);
    table->update();
  }
  table->close();
}

// Straight to a PDF file, no spooler: each column starts at its stop on every line, the
// widest identifier the box allows included, and nothing runs off the page.
TEST(QtPrinterPdf, PutsEachColumnAtItsStop) {
  for (const char* tool : {"pdftotext", "pdfinfo"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
      GTEST_SKIP() << "SKIPPED: " << tool << " is not installed (scripts/setup.sh installs it)";
  testfiles::TempDatabase file;
  addRecords(file.path(), {{u"2004-01-29"_qs, u"水样一二三四五六七八九十"_qs, u"12"_qs, u"7.26"_qs},
                           {u"2004-11-02"_qs, u"A"_qs, u"2.5"_qs, u"7"_qs}});
  QTemporaryDir dir;
  const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
  auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
  device->setOutputFormat(QPrinter::PdfFormat);
  device->setOutputFileName(pdf);
  device->setPageSize(QPageSize(QPageSize::A4));
  platform::QtPrinter printer(std::move(device));
  auto records = Snapshot::open(file.path());
  ResultsReport::printRecords(*records, printer);
  records->close();
  printer.endDoc();

  const PdfText text = readPdf(pdf);
  ASSERT_EQ(text.pages, 1);
  ASSERT_EQ(text.lines.at(0).size(), 2u);
  const auto& first = text.lines[0][0];
  const auto& second = text.lines[0][1];
  EXPECT_EQ(texts(first),
            (QStringList{u"2004"_qs, u"水样一二三四五六七八九十"_qs, u"12"_qs, u"7.26"_qs}));
  EXPECT_EQ(texts(second), (QStringList{u"2004"_qs, u"A"_qs, u"2.5"_qs, u"7.00"_qs}));
  EXPECT_TRUE(text.allWithinPage);
  ASSERT_EQ(first.size(), 4u);
  ASSERT_EQ(second.size(), 4u);
  // Stops at 0.75, 2.75 and 3.75 inches from the left margin; the mean after its blank.
  const double margin = first[0].left;
  const double expected[] = {0, 54, 198, 270};
  for (int column = 0; column < 3; ++column) {
    EXPECT_NEAR(first[column].left - margin, expected[column], 1) << "column " << column;
    EXPECT_NEAR(second[column].left - margin, expected[column], 1) << "column " << column;
  }
  EXPECT_NEAR(first[3].left, second[3].left, 0.5);
  EXPECT_GT(first[3].left - margin, expected[3]);
  EXPECT_LT(first[3].left - margin, expected[3] + 8);
}

class ReportOnPdfPrinter : public testing::Test {
 protected:
  void SetUp() override {
    const QString why = pdfPrinterMissing();
    if (!why.isEmpty()) GTEST_SKIP() << "SKIPPED: " << why.toStdString();
  }

  // How many lines the report puts on a page of the default printer.
  static int linesPerPage() {
    platform::QtPrinterProvider provider;
    auto job = provider.openDefault();  // never prints, so nothing is sent
    auto& printer = dynamic_cast<platform::QtPrinter&>(*job);
    const float limit = printer.scaleTop() + printer.scaleHeight() - ResultsReport::kBottomMargin;
    float y = ResultsReport::kTop;
    int lines = 0;
    do {
      ++lines;
      y += printer.lineHeight();
    } while (y < limit);
    return lines;
  }

  static PdfText printAndRead(int records) {
    testfiles::TempDatabase file;
    std::vector<QStringList> rows;
    for (int i = 0; i < records; ++i) {
      const QStringList words = expectedWords(i);
      rows.push_back({i % 2 ? u"2004-11-02"_qs : u"2004-01-29"_qs, words[1], words[2],
                      i % 2 ? u"7"_qs : u"7.26"_qs});
    }
    addRecords(file.path(), rows);
    const QString folder = pdfFolder();
    const auto before = pdfFiles(folder);

    fakes::FakePlatform platform;
    platform::QtPrinterProvider printers;
    platform.services.printers = &printers;
    platform.services.programFolder = file.folder();
    EXPECT_EQ(ResultsReport(platform.services).print(), ResultsReport::Outcome::Printed);
    EXPECT_TRUE(platform.messageBox.messages.isEmpty())
        << platform.messageBox.messages.join(u'\n').toStdString();

    const QString pdf = waitForNewPdf(folder, before, QPrinterInfo::defaultPrinter().printerName());
    EXPECT_FALSE(pdf.isEmpty()) << "no new PDF in " << folder.toStdString();
    if (pdf.isEmpty()) return {};
    const PdfText text = readPdf(pdf);
    QFile::remove(pdf);
    return text;
  }
};

TEST_F(ReportOnPdfPrinter, AFullPageStaysOnOnePageAndOneMoreLineStartsTheNext) {
  const int perPage = linesPerPage();
  ASSERT_GT(perPage, 1);
  for (const int records : {perPage, perPage + 1}) {
    SCOPED_TRACE(records);
    const PdfText pdf = printAndRead(records);
    const int pages = records > perPage ? 2 : 1;
    EXPECT_EQ(pdf.pages, pages);
    ASSERT_EQ(int(pdf.lines.size()), pages);
    EXPECT_TRUE(pdf.allWithinPage) << "a column runs off the page";
    std::vector<QStringList> all;
    for (const auto& page : pdf.lines)
      for (const auto& line : page) all.push_back(texts(line));
    ASSERT_EQ(int(all.size()), records);
    for (int i = 0; i < records; ++i)
      EXPECT_EQ(all[i].join(u'|').toStdString(), expectedWords(i).join(u'|').toStdString())
          << "line " << i;
    EXPECT_EQ(int(pdf.lines.front().size()), perPage);
  }
}

}  // namespace
}  // namespace sorvane::results
