#include "store/FieldText.h"

#include <QRegularExpression>
#include <cmath>
#include <vector>

#include "numbers/NumberText.h"
#include "store/PhbFields.h"
#include "store/StoreFailures.h"

namespace sorvane::store::fieldtext {

namespace {

// One part of a numeric date format: a run of d, M or y, or the literal text between runs.
struct Section {
  QChar letter;  // 'd', 'M', 'y', or 0 for a literal
  int width = 0;
  QString literal;
};

// Splits a date format made only of day, month and year numbers and separators. Anything
// else (month or weekday names, quoted text) gives no sections, and the locale reads it.
std::optional<std::vector<Section>> numericSections(const QString& format) {
  std::vector<Section> sections;
  for (qsizetype i = 0; i < format.size();) {
    const QChar c = format[i];
    if (c == u'd' || c == u'M' || c == u'y') {
      qsizetype j = i;
      while (j < format.size() && format[j] == c) ++j;
      const int width = static_cast<int>(j - i);
      if ((c != u'y' && width > 2) || (c == u'y' && width != 2 && width != 4)) return {};
      sections.push_back({c, width, {}});
      i = j;
    } else if (c.isLetter() || c == u'\'') {
      return {};
    } else {
      if (sections.empty() || sections.back().letter != QChar())
        sections.push_back({QChar(), 0, {}});
      sections.back().literal += c;
      ++i;
    }
  }
  return sections;
}

std::optional<QDate> readNumericDate(const QString& text, const std::vector<Section>& sections) {
  int day = -1, month = -1, year = -1;
  qsizetype at = 0;
  for (const Section& s : sections) {
    if (s.letter == QChar()) {
      if (!text.mid(at).startsWith(s.literal)) return std::nullopt;
      at += s.literal.size();
      continue;
    }
    qsizetype end = at;
    while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128) ++end;
    const qsizetype digits = end - at;
    const int value = text.mid(at, digits).toInt();
    if (s.letter == u'y') {
      // A four-digit year is taken as written even where the form has two digits.
      if (digits == 4) {
        year = value;
      } else if (digits == 2 && s.width == 2) {
        year = 2000 + value;
      } else {
        return std::nullopt;
      }
    } else {
      if (digits < 1 || digits > 2) return std::nullopt;
      (s.letter == u'd' ? day : month) = value;
    }
    at = end;
  }
  if (at != text.size() || day < 0 || month < 0 || year < 0) return std::nullopt;
  const QDate date(year, month, day);
  if (!date.isValid()) return std::nullopt;
  return date;
}

}  // namespace

FieldType fieldType(int field) {
  switch (field) {
    case phb::Date:
      return FieldType::Date;
    case phb::Identifier:
      return FieldType::Text;
    default:
      return FieldType::Number;
  }
}

std::optional<QDate> textToDate(const QString& text, const QLocale& locale) {
  const QString t = text.trimmed();
  static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
  if (iso.match(t).hasMatch()) {
    const QDate date = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (date.isValid()) return date;
    return std::nullopt;
  }
  const QString format = locale.dateFormat(QLocale::ShortFormat);
  if (const auto sections = numericSections(format)) return readNumericDate(t, *sections);
  const QDate date = locale.toDate(t, QLocale::ShortFormat);
  if (!date.isValid()) return std::nullopt;
  // The locale reads "yy" as 19yy; such forms mean this century.
  if (!format.contains(QStringLiteral("yyyy")) && date.year() < 2000) return date.addYears(100);
  return date;
}

std::optional<double> textToNumber(const QString& text) {
  static const QRegularExpression number(
      QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
  const QString t = text.trimmed();
  if (!number.match(t).hasMatch()) return std::nullopt;
  bool ok = false;
  const double value = t.toDouble(&ok);  // QString::toDouble always reads "."
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

QVariant valueFromText(int field, const QString& text, const QLocale& locale) {
  const QString& name = phb::fieldNames()[field];
  switch (fieldType(field)) {
    case FieldType::Text:
      if (text.isEmpty()) return {};
      if (text.toUcs4().size() > phb::kIdentifierLimit)
        throw failures::textTooLong(name, phb::kIdentifierLimit);
      return text;
    case FieldType::Date: {
      if (text.trimmed().isEmpty()) return {};
      const auto date = textToDate(text, locale);
      if (!date) throw failures::conversion(name, text);
      return *date;
    }
    case FieldType::Number: {
      if (text.trimmed().isEmpty()) return {};
      const auto number = textToNumber(text);
      if (!number) throw failures::conversion(name, text);
      return *number;
    }
  }
  return {};
}

QString textFromValue(const QVariant& value, const QLocale& locale) {
  if (!value.isValid()) return {};
  switch (value.typeId()) {
    case QMetaType::QDate:
      return locale.toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::Double:
      return numbers::numberToText(value.toDouble());
    default:
      return value.toString();
  }
}

}  // namespace sorvane::store::fieldtext
