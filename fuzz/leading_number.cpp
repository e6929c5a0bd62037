// Numeric-prefix parsing against a reading of the same rule written another way: a state
// machine that remembers where the longest number ends, the C library's strtod for decimal
// values, and strtoull or a hexadecimal strtod for &H and &O. Both must give the same double,
// bit for bit.

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "NumberText.h"

namespace {

[[noreturn]] void fail(const QString& text, const char* what, std::optional<double> got,
                       std::optional<double> expected) {
  std::fprintf(stderr, "text \"%s\": %s; got %a (%s), expected %a (%s)\n",
               text.toUtf8().constData(), what, got.value_or(0), got ? "a number" : "none",
               expected.value_or(0), expected ? "a number" : "none");
  std::abort();
}

bool ignored(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }
bool decimalDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The decimal number at the start of s, as the ASCII text strtod reads.
std::optional<std::string> decimalPrefix(const std::u16string& s) {
  enum State {
    kStart,
    kSign,
    kWhole,
    kPointFirst,
    kPointAfterWhole,
    kFraction,
    kExponentMark,
    kExponentSign,
    kExponent
  };
  State state = kStart;
  std::string consumed;
  std::optional<std::size_t> longest;  // the length of the longest number in `consumed`
  for (char16_t c : s) {
    const bool digit = decimalDigit(c);
    const bool sign = c == u'+' || c == u'-';
    const bool mark = c == u'e' || c == u'E' || c == u'd' || c == u'D';
    State next;
    if (state == kStart && sign) {
      next = kSign;
    } else if ((state == kStart || state == kSign) && c == u'.') {
      next = kPointFirst;
    } else if ((state == kStart || state == kSign || state == kWhole) && digit) {
      next = kWhole;
    } else if (state == kWhole && c == u'.') {
      next = kPointAfterWhole;
    } else if ((state == kPointFirst || state == kPointAfterWhole || state == kFraction) && digit) {
      next = kFraction;
    } else if ((state == kWhole || state == kPointAfterWhole || state == kFraction) && mark) {
      next = kExponentMark;
    } else if (state == kExponentMark && sign) {
      next = kExponentSign;
    } else if ((state == kExponentMark || state == kExponentSign || state == kExponent) && digit) {
      next = kExponent;
    } else {
      break;
    }
    state = next;
    consumed += mark ? 'e' : static_cast<char>(c);
    if (state == kWhole || state == kPointAfterWhole || state == kFraction || state == kExponent)
      longest = consumed.size();
  }
  if (!longest) return std::nullopt;
  return consumed.substr(0, *longest);
}

int radixDigit(char16_t c, int radix) {
  int d = 99;
  if (decimalDigit(c)) d = c - u'0';
  if (c >= u'a' && c <= u'z') d = c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') d = c - u'A' + 10;
  return d < radix ? d : -1;
}

std::optional<double> radixValue(const std::u16string& digitsText, int radix) {
  std::string digits;
  for (char16_t c : digitsText) {
    if (radixDigit(c, radix) < 0) break;
    digits += static_cast<char>(c);
  }
  if (digits.empty()) return std::nullopt;
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.empty()) return 0.0;

  const int bitsPerDigit = radix == 16 ? 4 : 3;
  const int first = radixDigit(static_cast<char16_t>(digits[0]), radix);
  int firstBits = 0;
  while (first >> firstBits) ++firstBits;
  const double bits = double(digits.size() - 1) * bitsPerDigit + firstBits;
  if (bits <= 64) {
    errno = 0;
    const unsigned long long v = std::strtoull(digits.c_str(), nullptr, radix);
    if (errno != 0) std::abort();
    if (v <= 0xFFFF) return double(std::int16_t(std::uint16_t(v)));
    if (v <= 0xFFFFFFFF) return double(std::int32_t(std::uint32_t(v)));
    return double(v);
  }
  std::string hex = digits;
  if (radix == 8) {
    std::string binary;
    for (char c : digits)
      for (int bit = 2; bit >= 0; --bit) binary += ((c - '0') >> bit & 1) ? '1' : '0';
    binary.insert(0, (4 - binary.size() % 4) % 4, '0');
    hex.clear();
    for (std::size_t k = 0; k < binary.size(); k += 4)
      hex += "0123456789abcdef"[std::stoi(binary.substr(k, 4), nullptr, 2)];
  }
  return std::strtod(("0x" + hex).c_str(), nullptr);
}

std::optional<double> reference(const QString& text) {
  std::u16string s;
  for (QChar c : text)
    if (!ignored(c.unicode())) s += c.unicode();
  if (!s.empty() && s[0] == u'&') {
    if (s.size() < 2) return std::nullopt;
    if (s[1] == u'H' || s[1] == u'h') return radixValue(s.substr(2), 16);
    if (s[1] == u'O' || s[1] == u'o') return radixValue(s.substr(2), 8);
    return std::nullopt;
  }
  const std::optional<std::string> prefix = decimalPrefix(s);
  if (!prefix) return std::nullopt;
  return std::strtod(prefix->c_str(), nullptr);  // the C locale: this program sets no other
}

bool sameDouble(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  const std::optional<double> got = sorvane::numbers::leadingNumber(text);
  const std::optional<double> expected = reference(text);
  if (got.has_value() != expected.has_value()) fail(text, "found a number or not", got, expected);
  if (got && !sameDouble(*got, *expected)) fail(text, "different values", got, expected);
  if (!sameDouble(sorvane::numbers::val(text), got.value_or(0.0)))
    fail(text, "val differs from the leading number", got, expected);
  return 0;
}
