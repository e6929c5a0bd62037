#include "QtPrinter.h"

#include <QFontMetricsF>
#include <QList>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRectF>
#include <QTextLayout>

#include "Fonts.h"

namespace sorvane::platform {

namespace {

constexpr double kTwipsPerInch = 1440.0;
// 宋体 五号, the size of body text on Chinese paper.
constexpr double kPrintPointSize = 10.5;

}  // namespace

QtPrinter::QtPrinter(std::unique_ptr<QPrinter> printer)
    : printer_(std::move(printer)), font_(songFont(kPrintPointSize)) {
  dpi_ = printer_->resolution();
  if (dpi_ <= 0) throw PrinterError(QStringLiteral("打印机的分辨率无效，报表未打印。"));
  const QRectF page = printer_->pageRect(QPrinter::DevicePixel);
  scaleHeight_ = float(page.height() * kTwipsPerInch / dpi_);
  pageWidth_ = page.width();
  // Metrics for the printer itself, not the screen, so the line step matches what is drawn.
  lineHeight_ = float(QFontMetricsF(font_, printer_.get()).lineSpacing() * kTwipsPerInch / dpi_);

  option_ = lineOption(font_, *printer_);
}

QtPrinter::~QtPrinter() {
  if (painter_.isActive()) painter_.end();
}

double QtPrinter::toDevice(float twips) const { return twips * dpi_ / kTwipsPerInch; }

QTextOption QtPrinter::lineOption(const QFont& font, QPrinter& printer) {
  // Text layout scales tab positions from the screen's resolution to the device's, by a
  // factor that depends on the screen; measure it once on a probe line instead of guessing.
  constexpr double kProbe = 1000;
  QTextOption option;
  option.setTabs({QTextOption::Tab(kProbe, QTextOption::LeftTab)});
  option.setWrapMode(QTextOption::NoWrap);
  QTextLayout probe(QStringLiteral("\tx"), font, &printer);
  probe.setTextOption(option);
  probe.beginLayout();
  QTextLine line = probe.createLine();
  line.setLineWidth(1e9);
  probe.endLayout();
  const double measured = line.cursorToX(1) / kProbe;
  const double unit = measured > 0 ? measured : 1;

  // Qt's own tab distance lands beyond the page at printer resolutions, so the columns get
  // stops of their own: year, identifier (room for 12 wide characters), count, mean; any
  // further tab goes on by an inch.
  const double dpi = printer.resolution();
  QList<QTextOption::Tab> tabs;
  for (float stop : kTabStops)
    tabs.append(QTextOption::Tab(stop * dpi / kTwipsPerInch / unit, QTextOption::LeftTab));
  option.setTabs(tabs);
  option.setTabStopDistance(dpi / unit);
  option.setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return option;
}

void QtPrinter::begin() {
  if (ended_) throw PrinterError(QStringLiteral("打印作业已结束，不能再打印。"));
  if (!painter_.begin(printer_.get()))
    throw PrinterError(QStringLiteral("打印机无法开始打印，报表未打印。"));
  painter_.setFont(font_);
}

void QtPrinter::printLine(const QString& text) {
  if (!painter_.isActive()) begin();
  const double left = toDevice(x_);
  const double width = qMax(1.0, pageWidth_ - left);
  painter_.drawText(QRectF(left, toDevice(y_), width, toDevice(lineHeight_)), text, option_);
  x_ = 0;
  y_ += lineHeight_;
}

void QtPrinter::newPage() {
  if (!painter_.isActive()) begin();
  if (!printer_->newPage()) throw PrinterError(QStringLiteral("打印机无法换页，报表没有打印完。"));
  x_ = 0;
  y_ = 0;
}

void QtPrinter::endDoc() {
  if (ended_) return;
  ended_ = true;
  if (painter_.isActive() && !painter_.end())
    throw PrinterError(QStringLiteral("打印机无法完成打印作业，报表可能没有打印出来。"));
}

std::unique_ptr<Printer> QtPrinterProvider::openDefault() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull())
    throw PrinterError(
        QStringLiteral("没有找到默认打印机，报表未打印。请先安装并设置默认打印机。"));
  auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  if (!printer->isValid())
    throw PrinterError(
        QStringLiteral("默认打印机“%1”不可用，报表未打印。").arg(info.printerName()));
  printer->setDocName(documentName_);
  return std::make_unique<QtPrinter>(std::move(printer));
}

}  // namespace sorvane::platform
