#include "jet/JetNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace sorvane::jet {

double singleAsShown(float value) {
  char digits[32];
  *std::to_chars(digits, digits + sizeof digits - 1, value).ptr = '\0';
  return std::strtod(digits, nullptr);
}

int significantDigits(const char* text) {
  std::string digits;
  for (const char* p = text; *p; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  const size_t last = digits.find_last_not_of('0');
  return int(last - first + 1);
}

double currencyValue(std::int64_t units, bool* exact) {
  *exact = significantDigits(std::to_string(units).c_str()) <= 15;
  return double(units) / 10000.0;
}

std::optional<JetDateTime> dateTimeFromDays(double days) {
  if (!std::isfinite(days) || days < -657434.0 || days >= 2958466.0) return std::nullopt;
  double whole;
  const double fraction = std::abs(std::modf(days, &whole));
  qint64 ms = std::llround(fraction * 86400000.0);
  qint64 day = qint64(whole);
  if (ms >= 86400000) {  // a hair before midnight rounds to the next day
    ms -= 86400000;
    ++day;
  }
  return JetDateTime{QDate(1899, 12, 30).addDays(day), QTime::fromMSecsSinceStartOfDay(int(ms))};
}

}  // namespace sorvane::jet
