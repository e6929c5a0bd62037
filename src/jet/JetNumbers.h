#pragma once

// Jet's number and date values from their stored bytes, apart from libmdb, so that each rule
// can be checked on its own.

#include <QDate>
#include <QTime>
#include <cstdint>
#include <optional>

namespace sorvane::jet {

// A Single as Access showed it: its shortest decimal form (7.26, not 7.260000228881836).
double singleAsShown(float value);

// Significant digits of a decimal text such as "-1110.554" or "0.0500".
int significantDigits(const char* text);

// A Currency's stored ten-thousandths as a number, and whether a double holds it exactly
// enough (at most 15 significant digits).
double currencyValue(std::int64_t units, bool* exact);

struct JetDateTime {
  QDate date;
  QTime time;
};

// A DateTime's stored days since 1899-12-30. Before that day the whole part counts back while
// the fraction still runs forward through the day. None outside Jet's own range, years 100
// to 9999, or for a value that is not finite.
std::optional<JetDateTime> dateTimeFromDays(double days);

}  // namespace sorvane::jet
