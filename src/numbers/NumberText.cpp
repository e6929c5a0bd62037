#include "NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace sorvane::numbers {

namespace {

bool isIgnored(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int digitValue(QChar c, int radix) {
  int d = -1;
  if (c >= u'0' && c <= u'9')
    d = c.unicode() - u'0';
  else if (c >= u'a' && c <= u'f')
    d = c.unicode() - u'a' + 10;
  else if (c >= u'A' && c <= u'F')
    d = c.unicode() - u'A' + 10;
  return d < radix ? d : -1;
}

// "&H" and "&O": a value that fits 16 bits is a 16-bit and one that fits 32 bits a 32-bit
// signed number, as the old platform read them (&HFFFF and &HFFFFFFFF are -1); larger ones
// keep their plain value, which beyond 64 bits is the nearest double.
std::optional<double> radixNumber(const QString& s, int radix) {
  const int bitsPerDigit = radix == 16 ? 4 : 3;
  std::uint64_t top = 0;  // the first 64 significant bits
  int kept = 0;           // how many of them have been read
  long long dropped = 0;  // significant bits after those 64
  bool droppedOne = false;
  std::size_t digits = 0;
  for (QChar c : s) {
    const int d = digitValue(c, radix);
    if (d < 0) break;
    ++digits;
    for (int bit = bitsPerDigit - 1; bit >= 0; --bit) {
      const bool one = (d >> bit) & 1;
      if (kept == 0 && !one) continue;  // leading zeros
      if (kept < 64) {
        top = top << 1 | (one ? 1 : 0);
        ++kept;
      } else {
        ++dropped;
        droppedOne = droppedOne || one;
      }
    }
  }
  if (digits == 0) return std::nullopt;
  if (dropped == 0) {
    if (top <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(top));
    if (top <= 0xFFFFFFFF) return static_cast<double>(static_cast<std::int32_t>(top));
    return static_cast<double>(top);
  }
  // The dropped bits matter to the rounding only as "some were 1", and 64 bits leave more
  // than two below a double's 53, so folding them into the lowest kept bit rounds alike.
  const int shift = static_cast<int>(std::min<long long>(dropped, 4096));
  return std::ldexp(static_cast<double>(top | (droppedOne ? 1 : 0)), shift);
}

// The power of ten of the first non-zero digit of an ASCII number ("-120.5e3" gives 5,
// "0.0012" gives -3), saturating far beyond any double's range. The number has such a digit.
long long leadingPowerOfTen(const std::string& number) {
  const std::size_t begin = number.front() == '-' ? 1 : 0;
  const std::size_t mantissaEnd = std::min(number.find('e'), number.size());
  const std::size_t point = std::min(number.find('.'), mantissaEnd);
  long long power = static_cast<long long>(point - begin) - 1;
  long long lead = 0;
  for (std::size_t k = begin; k < mantissaEnd; ++k) {
    if (number[k] == '.') continue;
    if (number[k] != '0') {
      lead = power;
      break;
    }
    --power;
  }
  long long exponent = 0;
  bool negative = false;
  for (std::size_t k = mantissaEnd + 1; k < number.size(); ++k) {
    if (number[k] == '-') negative = true;
    if (number[k] >= '0' && number[k] <= '9' && exponent < 100'000'000'000'000'000)
      exponent = exponent * 10 + (number[k] - '0');
  }
  return lead + (negative ? -exponent : exponent);
}

}  // namespace

std::optional<double> leadingNumber(const QString& text) {
  QString s;
  s.reserve(text.size());
  for (QChar c : text)
    if (!isIgnored(c)) s.append(c);

  if (s.size() >= 2 && s[0] == u'&') {
    const QChar kind = s[1].toUpper();
    if (kind == u'H') return radixNumber(s.mid(2), 16);
    if (kind == u'O') return radixNumber(s.mid(2), 8);
    return std::nullopt;
  }

  // Copy the part that forms a number into plain ASCII for the standard parser.
  std::string number;
  qsizetype i = 0;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
    if (s[i] == u'-') number += '-';
    ++i;
  }
  bool mantissaDigits = false;
  while (i < s.size() && isDigit(s[i])) {
    number += static_cast<char>(s[i++].unicode());
    mantissaDigits = true;
  }
  if (i < s.size() && s[i] == u'.') {
    std::string fraction;
    ++i;
    while (i < s.size() && isDigit(s[i])) fraction += static_cast<char>(s[i++].unicode());
    if (!fraction.empty()) {
      number += '.' + fraction;
      mantissaDigits = true;
    }
  }
  if (!mantissaDigits) return std::nullopt;

  if (i < s.size() && (s[i].toUpper() == u'E' || s[i].toUpper() == u'D')) {
    qsizetype j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
      exponent += static_cast<char>(s[j++].unicode());
    bool exponentDigits = false;
    while (j < s.size() && isDigit(s[j])) {
      exponent += static_cast<char>(s[j++].unicode());
      exponentDigits = true;
    }
    if (exponentDigits) number += exponent;
  }

  double value = 0;
  const char* first = number.data();
  const char* last = first + number.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc::result_out_of_range) {
    // Too large or too small for a double: the nearest the arithmetic can represent,
    // so that callers see an infinity or a zero rather than a made-up number. Which of
    // the two depends on the number's size, not on how its exponent is written.
    const bool negative = number.front() == '-';
    if (leadingPowerOfTen(number) < 0) return negative ? -0.0 : 0.0;
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  return value;
}

double val(const QString& text) { return leadingNumber(text).value_or(0.0); }

QString numberToText(double value) {
  if (std::isnan(value)) return QStringLiteral("NaN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
  if (value == 0) return QStringLiteral("0");

  // Round to 15 significant digits, then read off the digits and the decimal exponent.
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
  const std::string scientific(buffer, result.ptr);
  const bool negative = scientific.front() == '-';
  const std::size_t ePos = scientific.find('e');
  std::string digits;
  for (std::size_t k = negative ? 1 : 0; k < ePos; ++k)
    if (scientific[k] != '.') digits += scientific[k];
  const int exponent = std::stoi(scientific.substr(ePos + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = negative ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    text += digits.substr(0, 1);
    if (digits.size() > 1) text += "." + digits.substr(1);
    text += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) text += '0';
    text += std::to_string(magnitude);
  } else if (exponent < 0) {
    text += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else if (static_cast<int>(digits.size()) <= exponent + 1) {
    text += digits + std::string(static_cast<std::size_t>(exponent + 1) - digits.size(), '0');
  } else {
    text += digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
            digits.substr(static_cast<std::size_t>(exponent + 1));
  }
  return QString::fromLatin1(text);
}

}  // namespace sorvane::numbers
