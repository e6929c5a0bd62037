// The results report printing to a PDF through its own code (the store's snapshot, the
// record line, the paging loop, QtPrinter) beside a bare QPrinter/QPainter loop that draws
// the same lines with the same font and tab stops, alternated in one run. Peak memory of
// each is measured in a child process of its own, at the full record count and at 1,000.
//
//   report_bench [records] [rounds]                  run the comparison (default 100000, 5)
//   report_bench --child report|bare <records> <dir>  one print; prints its peak memory

#include <sqlite3.h>
#include <time.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRectF>
#include <QTemporaryDir>
#include <QTextOption>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "BenchArguments.h"
#include "BenchTiming.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/QtPrinter.h"
#include "results/ResultsReport.h"
#include "store/RecordSet.h"
#include "store/sqlite/DatabasePath.h"

namespace {

using bench::median;

using Clock = std::chrono::steady_clock;
constexpr const char* kUsage =
    "usage: report_bench [records] [rounds]   (each 1 or more; default 100000 and 5)\n";
constexpr double kPointSize = 10.5;  // what QtPrinter prints with

// The values of record i, shared by the file and the bare loop.
QDate dateOf(int i) { return QDate(2004, 1, 1).addDays(i % 3000); }
QString identifierOf(int i) { return QStringLiteral("R%1").arg(i); }
double countOf(int i) { return 2 + i % 20; }
double meanOf(int i) { return 5.5 + (i % 300) / 100.0; }

std::unique_ptr<QPrinter> pdfPrinter(const QString& file) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(file);
  printer->setPageSize(QPageSize(QPageSize::A4));
  return printer;
}

class PdfPrinters final : public sorvane::platform::PrinterProvider {
 public:
  explicit PdfPrinters(QString file) : file_(std::move(file)) {}
  std::unique_ptr<sorvane::platform::Printer> openDefault() override {
    return std::make_unique<sorvane::platform::QtPrinter>(pdfPrinter(file_));
  }

 private:
  QString file_;
};

bool makeDatabase(const QString& folder, int records) {
  std::ifstream in(SORVANE_PHB_SCHEMA);
  std::stringstream schema;
  schema << in.rdbuf();
  const QByteArray path = sorvane::store::databasePath(folder).toUtf8();
  sqlite3* db = nullptr;
  if (sqlite3_open(path.constData(), &db) != SQLITE_OK) return false;
  bool ok =
      sqlite3_exec(db, ("BEGIN;" + schema.str()).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO phb VALUES (?, ?, ?, ?)", -1, &insert, nullptr) ==
                 SQLITE_OK;
  for (int i = 0; ok && i < records; ++i) {
    const QByteArray date = dateOf(i).toString(Qt::ISODate).toUtf8();
    const QByteArray identifier = identifierOf(i).toUtf8();
    sqlite3_bind_text(insert, 1, date.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, identifier.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 3, countOf(i));
    sqlite3_bind_double(insert, 4, meanOf(i));
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// Takes the lines and draws nothing: what the report costs before the painter.
class NullPrinter final : public sorvane::platform::Printer {
 public:
  float scaleTop() const override { return 0; }
  float scaleHeight() const override { return 15840; }
  float currentX() const override { return x_; }
  void setCurrentX(float twips) override { x_ = twips; }
  float currentY() const override { return y_; }
  void setCurrentY(float twips) override { y_ = twips; }
  void printLine(const QString& text) override {
    length_ += text.size();
    x_ = 0;
    y_ += 220;
  }
  void newPage() override { y_ = 0; }
  void endDoc() override {}

 private:
  float x_ = 0;
  float y_ = 0;
  qsizetype length_ = 0;
};

class NullPrinters final : public sorvane::platform::PrinterProvider {
 public:
  std::unique_ptr<sorvane::platform::Printer> openDefault() override {
    return std::make_unique<NullPrinter>();
  }
};

// Any message means the report did not print.
class StderrMessages final : public sorvane::platform::MessageBox {
 public:
  void show(const QString& prompt) override {
    std::fprintf(stderr, "report: %s\n", qPrintable(prompt));
  }
};

// The report as the print button runs it, but on a PDF file (or on nothing).
bool printReport(const QString& folder, const QString& pdf) {
  StderrMessages messages;
  PdfPrinters pdfPrinters(pdf);
  NullPrinters nullPrinters;
  sorvane::platform::PrinterProvider& printers =
      pdf.isEmpty() ? static_cast<sorvane::platform::PrinterProvider&>(nullPrinters) : pdfPrinters;
  sorvane::platform::Services services;
  services.messageBox = &messages;
  services.printers = &printers;
  services.programFolder = folder;
  const auto outcome = sorvane::results::ResultsReport(services).print();
  return outcome == sorvane::results::ResultsReport::Outcome::Printed;
}

// The same lines straight onto a QPainter: no store, no printer layer.
bool printBare(int records, const QString& pdf) {
  auto printer = pdfPrinter(pdf);
  QPainter painter;
  if (!painter.begin(printer.get())) return false;
  const QFont font = sorvane::platform::songFont(kPointSize);
  painter.setFont(font);
  const double dpi = printer->resolution();
  const QTextOption option = sorvane::platform::QtPrinter::lineOption(font, *printer);
  const double line = QFontMetricsF(font, printer.get()).lineSpacing();
  const QRectF page = printer->pageRect(QPrinter::DevicePixel);
  const double limit = page.height() - dpi;
  double y = dpi;
  for (int i = 0; i < records; ++i) {
    const QString text = QStringLiteral("%1\t%2\t%3\t %4")
                             .arg(dateOf(i).year())
                             .arg(identifierOf(i))
                             .arg(countOf(i))
                             .arg(meanOf(i), 0, 'f', 2);
    painter.drawText(QRectF(dpi, y, page.width() - dpi, line), text, option);
    y += line;
    if (y >= limit && i + 1 < records) {
      printer->newPage();
      y = dpi;
    }
  }
  return painter.end();
}

long peakKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
  return -1;
}

int child(const QString& kind, int records, const QString& folder) {
  const QString pdf = folder + QStringLiteral("/%1.pdf").arg(kind);
  const bool ok =
      kind == QLatin1String("report") ? printReport(folder, pdf) : printBare(records, pdf);
  if (!ok) return 1;
  std::printf("%ld\n", peakKiB());
  return 0;
}

long childPeak(const QString& kind, int records, const QString& folder) {
  QProcess process;
  process.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), kind, QString::number(records), folder});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) return -1;
  return process.readAllStandardOutput().trimmed().toLong();
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Processor time of this process: steadier than wall time on a machine others share.
double cpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

struct Timings {
  std::vector<double> report, bare, linesOnly, reportCpu, bareCpu;
};

// One print to `pdf` by the report or the bare loop, timed on the wall and the processor.
bool timePrint(bool reportTurn, const QString& folder, int records, const QString& pdf,
               Timings& t) {
  const auto start = Clock::now();
  const double cpuStart = cpuSeconds();
  const bool ok = reportTurn ? printReport(folder, pdf) : printBare(records, pdf);
  const double taken = seconds(Clock::now() - start);
  if (!ok) return false;
  (reportTurn ? t.reportCpu : t.bareCpu).push_back(cpuSeconds() - cpuStart);
  (reportTurn ? t.report : t.bare).push_back(taken);
  return true;
}

// The report and the bare loop in turn, `rounds` times each, and the report without a
// painter once a round.
bool compareTimes(const QTemporaryDir& big, int records, int rounds) {
  Timings t;
  const QString reportPdf = big.filePath(QStringLiteral("report.pdf"));
  const QString barePdf = big.filePath(QStringLiteral("bare.pdf"));
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool reportTurn = (turn == 0) == (round % 2 == 0);
      if (!timePrint(reportTurn, big.path(), records, reportTurn ? reportPdf : barePdf, t)) {
        std::fprintf(stderr, "printing failed\n");
        return false;
      }
    }
    const auto start = Clock::now();
    printReport(big.path(), QString());
    t.linesOnly.push_back(seconds(Clock::now() - start));
  }
  std::printf("%d records to PDF, median of %d rounds\n", records, rounds);
  std::printf("  report: %.3f s  (%lld bytes)\n", median(t.report),
              static_cast<long long>(QFileInfo(reportPdf).size()));
  std::printf("  bare:   %.3f s  (%lld bytes)\n", median(t.bare),
              static_cast<long long>(QFileInfo(barePdf).size()));
  std::printf("  time ratio report/bare: %.2f wall, %.2f processor (%.3f s / %.3f s)\n",
              median(t.report) / median(t.bare), median(t.reportCpu) / median(t.bareCpu),
              median(t.reportCpu), median(t.bareCpu));
  std::printf("  of which reading the file and building the lines: %.3f s\n", median(t.linesOnly));
  return true;
}

// Peak memory of each side at the full record count and at `small`, in processes of their own.
void comparePeaks(const QTemporaryDir& big, int records, const QTemporaryDir& few, int small) {
  const long reportBig = childPeak(QStringLiteral("report"), records, big.path());
  const long reportFew = childPeak(QStringLiteral("report"), small, few.path());
  const long bareBig = childPeak(QStringLiteral("bare"), records, big.path());
  const long bareFew = childPeak(QStringLiteral("bare"), small, few.path());
  std::printf("peak memory (VmHWM, separate processes)\n");
  std::printf("  report: %.1f MiB at %d, %.1f MiB at %d, ratio %.2f\n", reportBig / 1024.0, records,
              reportFew / 1024.0, small, double(reportBig) / reportFew);
  std::printf("  bare:   %.1f MiB at %d, %.1f MiB at %d, ratio %.2f\n", bareBig / 1024.0, records,
              bareFew / 1024.0, small, double(bareBig) / bareFew);
  std::printf("  report/bare at %d: %.2f\n", records, double(reportBig) / bareBig);
}

int compare(int records, int rounds) {
  const int small = 1000;
  QTemporaryDir big, few;
  if (!makeDatabase(big.path(), records) || !makeDatabase(few.path(), small)) {
    std::fprintf(stderr, "could not make the test databases\n");
    return 1;
  }
  if (!compareTimes(big, records, rounds)) return 1;
  comparePeaks(big, records, few, small);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Checked before Qt starts, so that a wrong argument gets the usage and nothing else.
  const bool isChild = argc == 5 && std::strcmp(argv[1], "--child") == 0 &&
                       (std::strcmp(argv[2], "report") == 0 || std::strcmp(argv[2], "bare") == 0);
  const auto records = isChild    ? bench::wholeNumber(argv[3], 1, INT_MAX)
                       : argc > 1 ? bench::wholeNumber(argv[1], 1, INT_MAX)
                                  : 100000;
  const auto rounds = !isChild && argc > 2 ? bench::wholeNumber(argv[2], 1, 1000) : 5;
  if ((!isChild && argc > 3) || !records || !rounds) return bench::wrongArguments(kUsage);

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  sorvane::platform::installFontSubstitutes();
  if (isChild)
    return child(QString::fromLocal8Bit(argv[2]), int(*records), QString::fromLocal8Bit(argv[4]));
  return compare(int(*records), int(*rounds));
}
