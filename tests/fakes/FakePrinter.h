#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/Printer.h"

namespace sorvane::fakes {

// What a fake job was asked to do, in order.
struct PrintEvent {
  enum class Kind { Line, NewPage, EndDoc };
  Kind kind;
  QString text;  // Line only
  float x = 0;   // the position the line started at
  float y = 0;
};

// Hands out recording jobs with a fixed page and line height; can have no printer at all or
// fail on a given line.
class FakePrinterProvider final : public platform::PrinterProvider {
 public:
  std::unique_ptr<platform::Printer> openDefault() override;

  // Settings for the jobs opened from here, in twips.
  float scaleTop = 0;
  float scaleHeight = 15840;
  float lineHeight = 240;
  bool noPrinter = false;
  // The zero-based line at which printing fails; -1 for never.
  int failAtLine = -1;

  // Every job's events, one after another.
  std::vector<PrintEvent> events;
  int opened = 0;
  int ended = 0;
  // Jobs destroyed without their end of document.
  int dropped = 0;

  // The printed texts page by page, as split by the new-page events.
  std::vector<QStringList> pages() const;
  QStringList lines() const;
};

}  // namespace sorvane::fakes
