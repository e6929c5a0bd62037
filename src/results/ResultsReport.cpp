#include "ResultsReport.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include "numbers/NumberText.h"
#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "results/JetFileOpening.h"
#include "results/ResultsLocation.h"
#include "store/PhbFields.h"
#include "store/ResultsSource.h"
#include "store/Snapshot.h"
#include "store/StoreError.h"

namespace sorvane::results {

using store::Snapshot;
using store::StoreError;

namespace {

const QChar kTab = u'\t';

bool isNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return true;
    default:
      return false;
  }
}

// A value as the text a bound box would show it.
QString plainText(const QVariant& value) {
  if (value.isNull()) return {};
  if (isNumber(value)) return numbers::numberToText(value.toDouble());
  if (value.typeId() == QMetaType::QDate)
    return QLocale().toString(value.toDate(), QLocale::ShortFormat);
  return value.toString();
}

QString yearText(const QVariant& date) {
  if (date.isNull()) return {};
  QDate day;
  if (date.typeId() == QMetaType::QDate) day = date.toDate();
  if (date.typeId() == QMetaType::QDateTime) day = date.toDateTime().date();
  if (!day.isValid()) return plainText(date);
  return QStringLiteral("%1").arg(day.year(), 4, 10, QChar(u'0'));
}

// A blank, then at least one digit, the point and exactly two decimals; always a full stop,
// whatever the locale, like every number the program prints.
QString meanText(const QVariant& mean) {
  if (mean.isNull()) return {};
  if (isNumber(mean)) return u' ' + QString::number(mean.toDouble(), 'f', 2);
  return u' ' + plainText(mean);
}

}  // namespace

ResultsReport::ResultsReport(platform::Services& services) : services_(services) {}

QString ResultsReport::recordLine(const QVariant& date, const QVariant& identifier,
                                  const QVariant& count, const QVariant& mean) {
  return yearText(date) + kTab + plainText(identifier) + kTab + plainText(count) + kTab +
         meanText(mean);
}

QString ResultsReport::recordLine(const Snapshot& record) {
  namespace phb = store::phb;
  const QStringList& names = phb::fieldNames();
  return recordLine(record.field(names[phb::Date]), record.field(names[phb::Identifier]),
                    record.field(names[phb::SampleCount]), record.field(names[phb::Mean]));
}

long ResultsReport::printRecords(Snapshot& records, platform::Printer& printer) {
  return printLines(printer, [&records]() -> std::optional<QString> {
    if (records.eof()) return std::nullopt;
    QString line = recordLine(records);
    records.moveNext();
    return line;
  });
}

long ResultsReport::printLines(platform::Printer& printer,
                               const std::function<std::optional<QString>()>& nextLine) {
  const float limit = printer.scaleTop() + printer.scaleHeight() - kBottomMargin;
  long lines = 0;
  printer.setCurrentY(kTop);
  std::optional<QString> line = nextLine();
  while (line) {
    printer.setCurrentX(kLeft);
    printer.printLine(*line);
    ++lines;
    line = nextLine();
    // A line may run past the limit; the limit only sends the next line to a new page.
    if (printer.currentY() >= limit && line) {
      printer.newPage();
      printer.setCurrentY(kTop);
    }
  }
  return lines;
}

ResultsReport::Outcome ResultsReport::print() {
  // Set once a job is under way: a failure after it leaves a report that stops short.
  bool started = false;
  const auto unfinished = [&started] {
    return started ? QStringLiteral("报表没有打印完。") : QString();
  };
  try {
    const store::ResultsSource source = resultsSource(services_);
    // An Access file older versions left is converted first; the report then reads the
    // converted file like any other. A server's results need no converting.
    if (!source.isServer()) bringJetFileOver(services_, source.path, nullptr);
    std::unique_ptr<Snapshot> records = store::openSnapshot(source);
    if (records->eof()) {
      records->close();
      services_.messageBox->show(QStringLiteral("结果库中没有记录，没有可打印的内容。"));
      return Outcome::Empty;
    }
    if (!services_.printers)
      throw platform::PrinterError(QStringLiteral("没有找到默认打印机，报表未打印。"));
    std::unique_ptr<platform::Printer> printer = services_.printers->openDefault();
    started = true;
    printRecords(*records, *printer);
    records->close();
    printer->endDoc();
    return Outcome::Printed;
  } catch (const StoreError& error) {
    services_.messageBox->show(QStringLiteral("无法打印报表：") + error.message() + unfinished());
  } catch (const platform::PrinterError& error) {
    services_.messageBox->show(error.message() + unfinished());
  }
  return Outcome::Failed;
}

}  // namespace sorvane::results
