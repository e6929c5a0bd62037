#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

TEST(ValTest, OutOfRangeGivesInfinityOrZeroNotAMadeUpNumber) {
  EXPECT_EQ(val("1E400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(val("-1E400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(val("1E-400"), 0.0);
}

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
