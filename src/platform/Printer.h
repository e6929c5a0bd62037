#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

namespace sorvane::platform {

// A printer that cannot be used: none installed, or a failure while printing. The message
// is written for the user.
class PrinterError : public std::runtime_error {
 public:
  explicit PrinterError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& message() const { return message_; }

 private:
  QString message_;
};

// One print job. Positions are twips from the top-left corner of the drawing area (the
// printable part of the page), y growing downwards, single precision as the report keeps
// them. Every operation may throw PrinterError.
class Printer {
 public:
  virtual ~Printer() = default;

  // The drawing area's top coordinate and height.
  virtual float scaleTop() const = 0;
  virtual float scaleHeight() const = 0;

  virtual float currentX() const = 0;
  virtual void setCurrentX(float twips) = 0;
  virtual float currentY() const = 0;
  virtual void setCurrentY(float twips) = 0;

  // Prints the text as one item at the current position, then ends the line: X back at the
  // left edge of the drawing area, Y one line of the current font lower.
  virtual void printLine(const QString& text) = 0;
  // Finishes the current page and goes on on a new one.
  virtual void newPage() = 0;
  // Sends everything printed to the printer as one job.
  virtual void endDoc() = 0;
};

// Where print jobs come from.
class PrinterProvider {
 public:
  virtual ~PrinterProvider() = default;
  // A new job on the system's default printer; PrinterError when there is none.
  virtual std::unique_ptr<Printer> openDefault() = 0;
};

}  // namespace sorvane::platform
