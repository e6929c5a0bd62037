#pragma once

// The texts the bound boxes show and save, and the values table phb holds for them.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace sorvane::store::fieldtext {

enum class FieldType { Date, Text, Number };

// The type of a phb::Field.
FieldType fieldType(int field);

// A date typed in the locale's short form or as yyyy-MM-dd, in ASCII digits or the locale's
// own. A two-digit year is of this century (the locale's own reading would make 04 into 1904).
std::optional<QDate> textToDate(const QString& text, const QLocale& locale);
// A date as the results file stores it: exactly yyyy-MM-dd, a real day. Read by hand, since
// Qt's format parser costs more than the rest of reading a row.
std::optional<QDate> storedDate(QStringView text);
// The whole text a number with "." as the decimal point; blanks around it are allowed.
std::optional<double> textToNumber(const QString& text);

// The value a box's text is saved as: a QDate, a QString or a double, and no value (an
// invalid QVariant) for an empty text. Throws StoreError (RefusedValue) for a text the
// field does not accept.
QVariant valueFromText(int field, const QString& text, const QLocale& locale = QLocale());

// What a bound box shows: a date in the locale's short form (with the year in full where
// the form's two-digit year would read back as another century), a number by
// number-to-text, a text as it is, nothing for no value.
QString textFromValue(const QVariant& value, const QLocale& locale = QLocale());

}  // namespace sorvane::store::fieldtext
