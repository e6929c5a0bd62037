#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QTextOption>
#include <memory>

#include "Printer.h"

class QPrinter;

namespace sorvane::platform {

// A print job on a QPrinter, drawn with QPainter. Twips are mapped to the printer's device
// units; the drawing area is the printer's page rectangle. The job starts with the first
// printed line, so a printer that never prints anything sends nothing.
class QtPrinter final : public Printer {
 public:
  explicit QtPrinter(std::unique_ptr<QPrinter> printer);
  // A job that was started but not ended is ended here, so that the painter never outlives
  // its device; what was printed so far goes out.
  ~QtPrinter() override;

  float scaleTop() const override { return 0; }
  float scaleHeight() const override { return scaleHeight_; }
  float currentX() const override { return x_; }
  void setCurrentX(float twips) override { x_ = twips; }
  float currentY() const override { return y_; }
  void setCurrentY(float twips) override { y_ = twips; }
  void printLine(const QString& text) override;
  void newPage() override;
  void endDoc() override;

  // One line of the printing font, in twips: the step printLine moves down by.
  float lineHeight() const { return lineHeight_; }
  // The first three tab stops in twips from the start of a line; further stops every inch.
  static constexpr float kTabStops[] = {1080, 3960, 5400};
  // How a line is laid out on the printer: no wrapping, the stops above.
  static QTextOption lineOption(const QFont& font, QPrinter& printer);

 private:
  void begin();
  double toDevice(float twips) const;

  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  QFont font_;
  QTextOption option_;
  double dpi_ = 0;
  float scaleHeight_ = 0;
  double pageWidth_ = 0;  // device units
  float lineHeight_ = 0;
  float x_ = 0;
  float y_ = 0;
  bool ended_ = false;
};

// Jobs on the system's default printer, found through Qt's print support (CUPS on Linux),
// under the report's document name unless another is given (a test finds its own job by it).
class QtPrinterProvider final : public PrinterProvider {
 public:
  explicit QtPrinterProvider(QString documentName = QStringLiteral("pH平均值结果报表"))
      : documentName_(std::move(documentName)) {}
  std::unique_ptr<Printer> openDefault() override;

 private:
  QString documentName_;
};

}  // namespace sorvane::platform
