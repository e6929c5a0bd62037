#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "numbers/NumberText.h"

namespace sorvane::numbers {
namespace {

struct ValCase {
  const char* text;
  std::optional<double> expected;
};

class ValTest : public testing::TestWithParam<ValCase> {};

TEST_P(ValTest, ReadsTheLeadingNumber) {
  const ValCase& c = GetParam();
  const QString text = QString::fromUtf8(c.text);
  const std::optional<double> got = leadingNumber(text);
  ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text;
  if (c.expected) {
    EXPECT_DOUBLE_EQ(*got, *c.expected) << c.text;
  }
  EXPECT_DOUBLE_EQ(val(text), c.expected.value_or(0.0)) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValTest,
    testing::Values(
        // Plain numbers and what surrounds them.
        ValCase{"7.25", 7.25}, ValCase{" 12 个 pH 值的均值如下：", 12}, ValCase{"  6.8 pH", 6.8},
        ValCase{"8888", 8888}, ValCase{"Label1", std::nullopt}, ValCase{"abc", std::nullopt},
        ValCase{"", std::nullopt},
        // Blanks, tabs and line feeds are ignored anywhere, even inside the number.
        ValCase{"1 2", 12}, ValCase{"\t7.\n2 5", 7.25}, ValCase{"- 3", -3},
        // A carriage return is not ignored: it ends the number.
        ValCase{"7\r5", 7},
        // Sign and decimal point.
        ValCase{"-3", -3}, ValCase{"+4.5", 4.5}, ValCase{".5", 0.5}, ValCase{"-.5", -0.5},
        ValCase{"5.", 5}, ValCase{".", std::nullopt}, ValCase{"-", std::nullopt},
        ValCase{"1.2.3", 1.2}, ValCase{"7,25", 7},
        // Exponents with E or D; an incomplete exponent is left alone.
        ValCase{"1E3", 1000}, ValCase{"1e-2", 0.01}, ValCase{"2D2", 200}, ValCase{"2d+1", 20},
        ValCase{"3E", 3}, ValCase{"3E+", 3}, ValCase{"3Ex", 3},
        // Radix prefixes; four hex digits are a 16-bit signed number.
        ValCase{"&H10", 16}, ValCase{"&hff", 255}, ValCase{"&HFFFF", -1}, ValCase{"&H10000", 65536},
        ValCase{"&O17", 15}, ValCase{"&o8", std::nullopt}, ValCase{"&HG", std::nullopt},
        ValCase{"&12", std::nullopt},
        // Full-width digits are not ASCII digits.
        ValCase{"７", std::nullopt}));

// Numbers beyond a double: zero below its range and an infinity above it, by their size
// however they are written; radix numbers beyond 64 bits keep their value.
struct LimitCase {
  const char* name;
  std::string text;
  double expected;
};

class LimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(LimitTest, GivesTheNearestDouble) {
  const double got = val(QString::fromStdString(GetParam().text));
  EXPECT_EQ(got, GetParam().expected);
  EXPECT_EQ(std::signbit(got), std::signbit(GetParam().expected));
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, LimitTest,
    testing::Values(
        LimitCase{"ExponentAbove", "1E400", kInf}, LimitCase{"NegativeAbove", "-1E400", -kInf},
        LimitCase{"ExponentBelow", "1E-400", 0.0}, LimitCase{"NegativeBelow", "-1E-400", -0.0},
        LimitCase{"ZerosAfterThePoint", "0." + std::string(323, '0') + "1", 0.0},
        LimitCase{"DigitsBeforeANegativeExponent", "1" + std::string(400, '0') + "e-1", kInf},
        LimitCase{"NegativeExponentStillAbove", "-1" + std::string(400, '0') + "e-80", -kInf},
        LimitCase{"LargeExponentStillBelow", "0." + std::string(400, '0') + "1e70", 0.0},
        LimitCase{"HexOver64Bits", "&H10000000000000000", 18446744073709551616.0},
        LimitCase{"HexOver64BitsRoundsToNearest", "&H" + std::string(20, 'F'), 0x1p80},
        // Half a step above the tie only in the bits past the first 64.
        LimitCase{"HexOver64BitsPastTheTie", "&H10000000000000800001", 0x1p76 + 0x1p24},
        LimitCase{"OctalOver64Bits", "&O" + std::string(23, '7'), 0x1p69},
        LimitCase{"HexBeyondDouble", "&H1" + std::string(300, '0'), kInf},
        LimitCase{"HexLeadingZerosKeepTheWrap", "&H" + std::string(20, '0') + "FFFF", -1.0},
        LimitCase{"HexFull64Bits", "&H" + std::string(16, 'F'), 18446744073709551615.0},
        LimitCase{"Hex32BitsWrap", "&HFFFFFFFF", -1.0},
        LimitCase{"Hex33Bits", "&H1FFFFFFFF", 8589934591.0}),
    [](const testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

struct TextCase {
  double value;
  const char* text;
};

class NumberToTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(NumberToTextTest, ShortestFormWithFifteenDigits) {
  EXPECT_EQ(numberToText(GetParam().value), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumberToTextTest,
    testing::Values(TextCase{7.26, "7.26"}, TextCase{7.1, "7.1"}, TextCase{7, "7"},
                    TextCase{0.5, "0.5"}, TextCase{-0.5, "-0.5"},
                    TextCase{1.0 / 3, "0.333333333333333"}, TextCase{2.0 / 3, "0.666666666666667"},
                    TextCase{123456789012345, "123456789012345"},
                    TextCase{1234567890123456, "1.23456789012346E+15"}, TextCase{1e15, "1E+15"},
                    TextCase{0.0001, "0.0001"}, TextCase{0.00001, "1E-05"},
                    TextCase{1.5e-7, "1.5E-07"}, TextCase{1e100, "1E+100"}, TextCase{0, "0"},
                    TextCase{-0.0, "0"}, TextCase{100, "100"}, TextCase{726 * 0.01, "7.26"},
                    TextCase{2.5, "2.5"}));

TEST(NumberTextRoundTrip, TextReadBackIsTheNumberShown) {
  // Whatever the locale, "." is the decimal point in both directions.
  for (double value : {7.26, 0.3, 1.0 / 7, 12345.678, 1.5e-7, 6.02e23}) {
    const QString text = numberToText(value);
    EXPECT_EQ(numberToText(val(text)), text);
  }
}

}  // namespace
}  // namespace sorvane::numbers
