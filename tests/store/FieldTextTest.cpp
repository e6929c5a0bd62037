#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <string>

#include "store/FieldText.h"
#include "store/StoreError.h"

namespace sorvane::store::fieldtext {
namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);

const QLocale kEgypt(QLocale::Arabic, QLocale::Egypt);
// Chakma digits lie beyond 16 bits, so each takes two UTF-16 units.
const QLocale kChakma(QLocale::Chakma, QLocale::Bangladesh);

// What a box's text saves as: a value, no value (invalid), or a refusal with its number.
struct SaveCase {
  const char* name;
  int field;
  const char* text;
  QVariant expected;
  int refusedWith = 0;
  QLocale locale = kChina;
};

class SaveTextTest : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveTextTest, ConvertsOrRefuses) {
  const SaveCase& c = GetParam();
  try {
    const QVariant got = valueFromText(c.field, QString::fromUtf8(c.text), c.locale);
    EXPECT_EQ(c.refusedWith, 0) << "accepted " << c.text;
    EXPECT_EQ(got, c.expected) << c.text;
  } catch (const StoreError& e) {
    EXPECT_EQ(e.number(), c.refusedWith) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SaveTextTest,
    testing::Values(
        // Dates: the short form the window writes and ISO; two-digit years are this century.
        SaveCase{"ShortDate", 0, " 2024/2/29 ", QDate(2024, 2, 29)},
        SaveCase{"IsoDate", 0, "2004-01-29", QDate(2004, 1, 29)},
        SaveCase{"BlankDate", 0, "  ", {}},
        SaveCase{"UsTwoDigitYear", 0, "2/29/28", QDate(2028, 2, 29), 0, kUs},
        SaveCase{"GermanTwoDigitYear", 0, "29.01.04", QDate(2004, 1, 29), 0, kGermany},
        SaveCase{"NoSuchDay", 0, "2004/2/30", {}, legacy::kConversion},
        SaveCase{"NoSuchIsoDay", 0, "2023-02-29", {}, legacy::kConversion},
        SaveCase{"FullWidthDigits", 0, "２００４/1/29", {}, legacy::kConversion},
        SaveCase{"OtherLocalesOrder", 0, "2004/1/29", {}, legacy::kConversion, kUs},
        // The locale's own digits, as it writes today's date, with its right-to-left marks.
        SaveCase{"EgyptianDigits", 0, "٧\u200f/١٢\u200f/٢٠٢٦", QDate(2026, 12, 7), 0, kEgypt},
        SaveCase{"ChakmaDigits", 0, "𑄽/𑄷𑄸/𑄸𑄼", QDate(2026, 12, 7), 0, kChakma},
        SaveCase{"EgyptianDigitsElsewhere", 0, "٢٠٢٦/١٢/٧", {}, legacy::kConversion},
        // Numbers: only the whole text, with "." as the decimal point.
        SaveCase{"Count", 2, "5", 5.0}, SaveCase{"Exponent", 3, " -1.5e2 ", -150.0},
        SaveCase{"EmptyCount", 2, "", {}},
        SaveCase{"DecimalComma", 3, "7,26", {}, legacy::kConversion},
        SaveCase{"TrailingText", 3, "7.26abc", {}, legacy::kConversion},
        SaveCase{"BeyondDouble", 3, "1e999", {}, legacy::kConversion},
        SaveCase{"NaN", 3, "nan", {}, legacy::kConversion},
        // Identifiers: kept as typed, at most 12 characters.
        SaveCase{"Identifier", 1, " A-1 ", QString(" A-1 ")},
        SaveCase{"IdentifierTooLong", 1, "ABCDEFGHIJKLM", {}, legacy::kFieldTooSmall}),
    [](const testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

TEST(FieldTextTest, BoxTextsReadBackAsTheSameValue) {
  // What a bound box shows must save as the value it shows, in any locale.
  for (const QLocale& locale : {kChina, kUs, kGermany, kEgypt, kChakma})
    for (const QDate& d : {QDate(2004, 1, 29), QDate(2028, 2, 29), QDate(2099, 12, 31)})
      EXPECT_EQ(valueFromText(0, textFromValue(d, locale), locale), QVariant(d))
          << locale.name().toStdString();
  for (double v : {7.1, 0.0001, 123456789012345.0})
    EXPECT_EQ(valueFromText(3, textFromValue(v, kChina), kChina), QVariant(v));
}

}  // namespace
}  // namespace sorvane::store::fieldtext
