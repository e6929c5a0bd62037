#include "MeterLine.h"

#include <cmath>

#include "numbers/NumberText.h"

namespace sorvane::numbers {

QList<QByteArray> MeterLines::feed(QByteArrayView bytes) {
  QList<QByteArray> lines;
  for (const char byte : bytes) {
    if (byte == '\r' || byte == '\n') {
      if (!skipping_ && !line_.isEmpty()) lines.append(line_);
      line_.clear();
      skipping_ = false;
    } else if (skipping_) {
      continue;
    } else if (line_.size() == kLongest) {
      line_.clear();
      skipping_ = true;
    } else {
      line_.append(byte);
    }
  }
  return lines;
}

void MeterLines::dropCurrentLine() {
  skipping_ = skipping_ || !line_.isEmpty();
  line_.clear();
}

void MeterLines::clear() {
  line_.clear();
  skipping_ = false;
}

const QRegularExpression& defaultMeterPattern() {
  static const QRegularExpression pattern = [] {
    // A number not begun inside another one, and "pH" not inside a word.
    const QString number = QStringLiteral(R"((?<![\d.])([+-]?(?:\d+(?:\.\d*)?|\.\d+)))");
    const QString ph = QStringLiteral(R"((?<![A-Za-z])[pP][hH](?![A-Za-z]))");
    // Branch reset (?|...) makes each alternative's number group 1. The lazy .*? tries both
    // pH alternatives at each place before moving on, so the leftmost pH reading wins; only
    // a line without one falls back to its first number. In "T=25.0 pH=7.01" a "pH" followed
    // by ":" or "=" labels the number after it, not the one before.
    return QRegularExpression(
        QStringLiteral(R"(^(?|.*?(?|%1\s*[:=]?\s*%2|%2\s*%1(?!\s*[:=]))|.*?%2))").arg(ph, number));
  }();
  return pattern;
}

std::optional<QString> meterReading(QByteArrayView line, const QRegularExpression& pattern) {
  const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(line));
  if (!match.hasMatch()) return std::nullopt;
  QString reading = match.captured(1).trimmed();
  reading.replace(u',', u'.');
  static const QRegularExpression plainNumber(QStringLiteral(R"(^[+-]?(?:\d+(?:\.\d*)?|\.\d+)$)"));
  if (!plainNumber.match(reading).hasMatch()) return std::nullopt;
  // Hundreds of digits are no pH, and their infinity no reading.
  if (!std::isfinite(val(reading))) return std::nullopt;
  return reading;
}

}  // namespace sorvane::numbers
