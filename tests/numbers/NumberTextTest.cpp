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
        ValCase{"Plain", "7.25", 7.25}, ValCase{"Heading", " 12 个 pH 值的均值如下：", 12},
        ValCase{"UnitAfter", "  6.8 pH", 6.8}, ValCase{"Letters", "abc", {}},
        ValCase{"Empty", "", {}},
        // Blanks, tabs and line feeds are ignored anywhere; a carriage return ends the number.
        ValCase{"BlankInside", "1 2", 12}, ValCase{"TabAndLineFeed", "\t7.\n2 5", 7.25},
        ValCase{"BlankAfterSign", "- 3", -3}, ValCase{"CarriageReturn", "7\r5", 7},
        ValCase{"Plus", "+4.5", 4.5}, ValCase{"NoLeadingDigit", "-.5", -0.5},
        ValCase{"SecondPoint", "1.2.3", 1.2}, ValCase{"CommaIsNoPoint", "7,25", 7},
        ValCase{"ExponentE", "1e-2", 0.01}, ValCase{"ExponentD", "2d+1", 20},
        ValCase{"ExponentIncomplete", "3E+", 3},
        // Radix prefixes: up to 16 bits and then up to 32 bits are signed, as typed in the
        // old platform, so the high bit makes them negative.
        ValCase{"Hex", "&hff", 255}, ValCase{"Hex16BitAll", "&HFFFF", -1},
        ValCase{"Hex17Bits", "&H10000", 65536}, ValCase{"Hex32BitAll", "&HFFFFFFFF", -1},
        ValCase{"Hex33Bits", "&H100000000", 4294967296.0}, ValCase{"Octal", "&O17", 15},
        ValCase{"Octal16BitAll", "&O177777", -1}, ValCase{"OctalBadDigit", "&o8", {}},
        ValCase{"RadixUnknown", "&12", {}}, ValCase{"FullWidthDigit", "７", {}}),
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
    testing::Values(
        TextCase{"TwoDecimals", 7.26, "7.26"}, TextCase{"Whole", 7, "7"},
        TextCase{"Negative", -0.5, "-0.5"}, TextCase{"FifteenDigits", 2.0 / 3, "0.666666666666667"},
        TextCase{"LargestPlain", 123456789012345, "123456789012345"},
        TextCase{"LargeExponent", 1234567890123456, "1.23456789012346E+15"},
        TextCase{"SmallestPlain", 0.0001, "0.0001"}, TextCase{"SmallExponent", 1.5e-7, "1.5E-07"},
        TextCase{"ThreeDigitExponent", 1e100, "1E+100"}, TextCase{"NegativeZero", -0.0, "0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::numbers
