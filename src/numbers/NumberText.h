#pragma once

// The two number conversions every text in the program goes through.
//
// Numeric-prefix parsing reads the leading number of a text the way the laboratory's
// users have always typed it: blanks, tabs and line feeds anywhere are ignored, then an
// optional sign, digits, a "." and digits, and an exponent with E or D; "&H" and "&O"
// introduce hexadecimal and octal. Reading stops at the first character that does not fit.
//
// Number-to-text gives the shortest form with at most 15 significant digits, switching to
// an exponent form (1E+15, 1.5E-07) outside 0.0001 ... 999999999999999.
//
// Both always use "." as the decimal point, whatever the locale, so a number shown and
// read back is the number that was shown.

#include <QString>
#include <optional>

namespace sorvane::numbers {

// The leading number of the text, or no value when the text has none.
std::optional<double> leadingNumber(const QString& text);

// The leading number of the text, 0 when it has none.
double val(const QString& text);

QString numberToText(double value);

}  // namespace sorvane::numbers
