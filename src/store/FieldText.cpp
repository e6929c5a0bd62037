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

// The value of the digit at `at` and how many UTF-16 units it takes, or no value. ASCII
// digits are read in every locale, and the locale's own digits (Arabic-Indic, Devanagari, and
// also those beyond 16 bits) where it writes dates with them.
std::optional<std::pair<int, qsizetype>> digitAt(const QString& text, qsizetype at, char32_t zero) {
  if (at >= text.size()) return std::nullopt;
  const QChar c = text[at];
  if (c >= u'0' && c <= u'9') return std::pair{c.unicode() - u'0', qsizetype{1}};
  char32_t code = c.unicode();
  qsizetype units = 1;
  if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
    code = QChar::surrogateToUcs4(c, text[at + 1]);
    units = 2;
  }
  if (zero != U'0' && code >= zero && code <= zero + 9)
    return std::pair{static_cast<int>(code - zero), units};
  return std::nullopt;
}

std::optional<QDate> readNumericDate(const QString& text, const std::vector<Section>& sections,
                                     char32_t zero) {
  int day = -1, month = -1, year = -1;
  qsizetype at = 0;
  for (const Section& s : sections) {
    if (s.letter == QChar()) {
      if (!text.mid(at).startsWith(s.literal)) return std::nullopt;
      at += s.literal.size();
      continue;
    }
    qsizetype end = at;
    int digits = 0, value = 0;
    // More than four digits fit no section; stopping there also keeps the value small.
    while (digits <= 4) {
      const auto digit = digitAt(text, end, zero);
      if (!digit) break;
      value = value * 10 + digit->first;
      end += digit->second;
      ++digits;
    }
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

// The short form, unless it would read back as another date: a two-digit year is read as
// this century, so a date of another century shows its year in full, and editing the day
// or month in the box keeps the year.
QString dateText(const QDate& date, const QLocale& locale) {
  const QString shortText = locale.toString(date, QLocale::ShortFormat);
  if (textToDate(shortText, locale) == date) return shortText;
  static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
  QString format = locale.dateFormat(QLocale::ShortFormat);
  format.replace(twoDigitYear, QStringLiteral("yyyy"));
  const QString fullYear = locale.toString(date, format);
  if (textToDate(fullYear, locale) == date) return fullYear;
  return date.toString(Qt::ISODate);
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

std::optional<QDate> storedDate(QStringView text) {
  if (text.size() != 10 || text[4] != u'-' || text[7] != u'-') return std::nullopt;
  int parts[3] = {0, 0, 0};
  const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
  for (int p = 0; p < 3; ++p)
    for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
      const char16_t c = text[i].unicode();
      if (c < u'0' || c > u'9') return std::nullopt;
      parts[p] = parts[p] * 10 + (c - u'0');
    }
  const QDate date(parts[0], parts[1], parts[2]);
  if (!date.isValid()) return std::nullopt;
  return date;
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
  if (const auto sections = numericSections(format)) {
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    return readNumericDate(t, *sections, zero.isEmpty() ? U'0' : char32_t(zero.front()));
  }
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
      return dateText(value.toDate(), locale);
    case QMetaType::Double:
      return numbers::numberToText(value.toDouble());
    default:
      return value.toString();
  }
}

}  // namespace sorvane::store::fieldtext
