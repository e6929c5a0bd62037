#include "numbers/NumberText.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>

namespace sorvane::numbers {
namespace {

struct ValCase {
  const char* name;
  const char* text;
  std::optional<double> number;  // none: the text has no leading number, and val gives 0
};

class ValTest : public testing::TestWithParam<ValCase> {};

TEST_P(ValTest, ReadsTheLeadingNumber) {
  const QString text = QString::fromUtf8(GetParam().text);
  EXPECT_EQ(leadingNumber(text), GetParam().number);
  EXPECT_EQ(val(text), GetParam().number.value_or(0.0));
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Texts, ValTest,
    testing::Values(
        ValCase{"plain", "7.25", 7.25}, ValCase{"heading", " 12 个 pH 值的均值如下：", 12},
        ValCase{"unit_after", "  6.8 pH", 6.8}, ValCase{"letters", "abc", {}},
        ValCase{"empty", "", {}},
        // Blanks, tabs and line feeds are ignored anywhere; a carriage return ends the number.
        ValCase{"blank_inside", "1 2", 12}, ValCase{"tab_and_line_feed", "\t7.\n2 5", 7.25},
        ValCase{"blank_after_sign", "- 3", -3}, ValCase{"carriage_return", "7\r5", 7},
        ValCase{"plus", "+4.5", 4.5}, ValCase{"no_leading_digit", "-.5", -0.5},
        ValCase{"second_point", "1.2.3", 1.2}, ValCase{"comma_is_no_point", "7,25", 7},
        ValCase{"exponent_e", "1e-2", 0.01}, ValCase{"exponent_d", "2d+1", 20},
        ValCase{"exponent_incomplete", "3E+", 3},
        // Radix prefixes: up to 16 bits and then up to 32 bits are signed, as typed in the
        // old platform, so the high bit makes them negative.
        ValCase{"hex", "&hff", 255}, ValCase{"hex_16_bit_all", "&HFFFF", -1},
        ValCase{"hex_17_bits", "&H10000", 65536}, ValCase{"hex_32_bit_all", "&HFFFFFFFF", -1},
        ValCase{"hex_33_bits", "&H100000000", 4294967296.0}, ValCase{"octal", "&O17", 15},
        ValCase{"octal_16_bit_all", "&O177777", -1}, ValCase{"octal_bad_digit", "&o8", {}},
        ValCase{"radix_unknown", "&12", {}}, ValCase{"full_width_digit", "７", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Numbers beyond a double: zero below its range and an infinity above it, by their size
// however they are written; radix numbers beyond 64 bits keep their value.
struct LimitCase {
  const char* name;
  std::string text;
  double expected;
};

// ctest -N shows the name, not the texts of several hundred digits.
void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }

class LimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(LimitTest, GivesTheNearestDouble) {
  const double got = val(QString::fromStdString(GetParam().text));
  EXPECT_EQ(got, GetParam().expected);
  EXPECT_EQ(std::signbit(got), std::signbit(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, LimitTest,
    testing::Values(
        LimitCase{"ExponentAbove", "1E400", kInf}, LimitCase{"NegativeAbove", "-1E400", -kInf},
        LimitCase{"ExponentBelow", "1E-400", 0.0}, LimitCase{"NegativeBelow", "-1E-400", -0.0},
        LimitCase{"ZerosAfterThePoint", "0." + std::string(323, '0') + "1", 0.0},
        LimitCase{"DigitsBeforeANegativeExponent", "1" + std::string(400, '0') + "e-1", kInf},

        LimitCase{"LargeExponentStillBelow", "0." + std::string(400, '0') + "1e70", 0.0},
        LimitCase{"HexOver64Bits", "&H10000000000000000", 18446744073709551616.0},

        // Half a step above the tie only in the bits past the first 64.
        LimitCase{"HexOver64BitsPastTheTie", "&H10000000000000800001", 0x1p76 + 0x1p24},
        LimitCase{"OctalOver64Bits", "&O" + std::string(23, '7'), 0x1p69},
        LimitCase{"HexBeyondDouble", "&H1" + std::string(300, '0'), kInf},
        LimitCase{"HexLeadingZerosKeepTheWrap", "&H" + std::string(20, '0') + "FFFF", -1.0},
        LimitCase{"HexFull64Bits", "&H" + std::string(16, 'F'), 18446744073709551615.0}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

struct TextCase {
  const char* name;
  double value;
  const char* text;
};

class NumberToTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(NumberToTextTest, ShortestFormWithFifteenDigits) {
  EXPECT_EQ(numberToText(GetParam().value), QString::fromLatin1(GetParam().text));
  // Read back, the text is the number shown, whatever the locale.
  EXPECT_EQ(numberToText(val(numberToText(GetParam().value))),
            QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, NumberToTextTest,
    testing::Values(TextCase{"two_decimals", 7.26, "7.26"}, TextCase{"whole", 7, "7"},
                    TextCase{"negative", -0.5, "-0.5"},
                    TextCase{"fifteen_digits", 2.0 / 3, "0.666666666666667"},
                    TextCase{"largest_plain", 123456789012345, "123456789012345"},
                    TextCase{"large_exponent", 1234567890123456, "1.23456789012346E+15"},
                    TextCase{"smallest_plain", 0.0001, "0.0001"},
                    TextCase{"small_exponent", 1.5e-7, "1.5E-07"},
                    TextCase{"three_digit_exponent", 1e100, "1E+100"},
                    TextCase{"negative_zero", -0.0, "0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::numbers
