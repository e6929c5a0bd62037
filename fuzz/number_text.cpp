// Number-to-text round trips where the locale writes a decimal comma. The first eight bytes
// are a double, any bit pattern: its text has "." as the point and at most 15 significant
// digits, reads back as the double that printf's 15 digits name, and shows again as the same
// text. The whole input is also read as typed text: whatever number it holds shows and reads
// back unchanged.

#include <locale.h>
#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "NumberText.h"

namespace {

using sorvane::numbers::numberToText;
using sorvane::numbers::val;

locale_t cLocale = nullptr;

[[noreturn]] void fail(double value, const QString& text, const char* what) {
  std::fprintf(stderr, "%a shown as \"%s\": %s\n", value, text.toUtf8().constData(), what);
  std::abort();
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// -d, -d.ddd with no trailing zero, then optionally E+dd or E-dd and more digits.
bool wellFormed(const std::string& t) {
  std::size_t k = t.size() > 0 && t[0] == '-' ? 1 : 0;
  int significant = 0;
  bool leadingZeros = true;
  const std::size_t mantissa = k;
  while (k < t.size() && digit(t[k])) {
    leadingZeros = leadingZeros && t[k] == '0';
    if (!leadingZeros) ++significant;
    ++k;
  }
  if (k == mantissa) return false;
  if (k < t.size() && t[k] == '.') {
    const std::size_t point = k++;
    while (k < t.size() && digit(t[k])) {
      leadingZeros = leadingZeros && t[k] == '0';
      if (!leadingZeros) ++significant;
      ++k;
    }
    if (k == point + 1 || t[k - 1] == '0') return false;
  }
  if (k < t.size()) {
    if (t[k] != 'E' || k + 1 >= t.size() || (t[k + 1] != '+' && t[k + 1] != '-')) return false;
    k += 2;
    const std::size_t exponent = k;
    while (k < t.size() && digit(t[k])) ++k;
    if (k - exponent < 2) return false;
  }
  return k == t.size() && significant <= 15;
}

// The value printf names with 15 significant digits, read in the C locale.
double fifteenDigits(double value) {
  char buffer[64];
  const locale_t previous = uselocale(cLocale);
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  uselocale(previous);
  return strtod_l(buffer, nullptr, cLocale);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  // The C library's comma only where such a locale is installed; Qt's in any case.
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  const QString shown = numberToText(val(typed));
  if (std::isfinite(val(typed)) && std::isfinite(val(shown)) && numberToText(val(shown)) != shown)
    fail(val(typed), shown, "typed text does not read back");

  if (size < sizeof(double)) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  const QString text = numberToText(value);
  if (std::isnan(value)) {
    if (text != u"NaN") fail(value, text, "not NaN");
    return 0;
  }
  if (std::isinf(value)) {
    if (text != (value < 0 ? u"-Inf" : u"Inf")) fail(value, text, "not Inf");
    return 0;
  }
  if (!wellFormed(text.toStdString())) fail(value, text, "not a plain number with a '.'");
  const double back = val(text);
  const double expected = value == 0 ? 0.0 : fifteenDigits(value);
  if (back != expected || std::signbit(back) != std::signbit(expected))
    fail(value, text, "reads back as another number");
  // The few doubles next to the largest round to a 15-digit text beyond it.
  if (std::isfinite(back) && numberToText(back) != text)
    fail(value, text, "shows differently when read back");
  return 0;
}
