#pragma once

// What a pH meter sends over its serial port: a line of text each time its print or send key
// is pressed, the reading somewhere in it, often beside a temperature or a unit.

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <optional>

namespace sorvane::numbers {

// Cuts the bytes from a meter into lines. CR, LF and CRLF each end a line; empty lines are
// left out. A line longer than kLongest bytes is no meter's: it is dropped whole, up to its
// ending, so a device that never ends its lines costs no more than kLongest bytes.
class MeterLines {
 public:
  static constexpr qsizetype kLongest = 1024;

  // The lines the bytes complete, without their endings.
  QList<QByteArray> feed(QByteArrayView bytes);
  // Drops the line begun so far, and the rest of it when it comes.
  void dropCurrentLine();
  // Forgets everything, as for a port just opened.
  void clear();
  qsizetype buffered() const { return line_.size(); }

 private:
  QByteArray line_;
  bool skipping_ = false;
};

// The pattern for the common line shapes: "pH 7.01", "7.01 pH", "pH: +07.012", "7.012,25.0"
// (reading, then temperature), "pH  7.012  25.0 °C  ATC", a bare number. The number just
// after a "pH" label or just before a "pH" unit, the leftmost such, wins; else the first
// number. A comma separates numbers; it is never a decimal point here.
const QRegularExpression& defaultMeterPattern();

// The reading in one line, as text to go into the reading dialog: the pattern's first capture
// group, where a "," is the decimal point written "." (only a pattern that captures a comma
// says so). No value when the pattern does not match, or its capture is not one plain number.
// Bytes that are not UTF-8 only stand for themselves as replacement characters.
std::optional<QString> meterReading(QByteArrayView line, const QRegularExpression& pattern);

}  // namespace sorvane::numbers
