#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <ostream>
#include <string>

#include "store/FieldText.h"
#include "store/PhbFields.h"
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
  phb::Field field;
  const char* text;
  QVariant expected;
  int refusedWith = 0;
  QLocale locale = kChina;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class SaveTextTest : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveTextTest, ConvertsOrRefuses) {
  const SaveCase& c = GetParam();
  try {
    EXPECT_EQ(valueFromText(c.field, QString::fromUtf8(c.text), c.locale), c.expected);
    EXPECT_EQ(c.refusedWith, 0) << "accepted";
  } catch (const StoreError& e) {
    EXPECT_EQ(e.number(), c.refusedWith);
  }
}

using namespace phb;
constexpr int kRefused = legacy::kConversion;

INSTANTIATE_TEST_SUITE_P(
    Texts, SaveTextTest,
    testing::Values(
        // Dates: the short form the window writes and ISO; two-digit years are this century.
        SaveCase{"DateShortForm", Date, " 2024/2/29 ", QDate(2024, 2, 29)},
        SaveCase{"DateIso", Date, "2004-01-29", QDate(2004, 1, 29)},
        SaveCase{"DateUsTwoDigitYear", Date, "2/29/28", QDate(2028, 2, 29), 0, kUs},
        SaveCase{"DateGerman", Date, "29.01.04", QDate(2004, 1, 29), 0, kGermany},
        SaveCase{"DateImpossibleDay", Date, "2004/2/30", {}, kRefused},
        SaveCase{"DateFullWidthDigits", Date, "２００４/1/29", {}, kRefused},
        SaveCase{"DateOtherLocaleForm", Date, "2004/1/29", {}, kRefused, kUs},
        // The locale's own digits, as it writes today's date, with its right-to-left marks.
        SaveCase{"DateEgyptianDigits", Date, "٧\u200f/١٢\u200f/٢٠٢٦", QDate(2026, 12, 7), 0,
                 kEgypt},
        SaveCase{"DateChakmaDigits", Date, "𑄽/𑄷𑄸/𑄸𑄼", QDate(2026, 12, 7), 0, kChakma},
        SaveCase{"DateEgyptianDigitsOtherOrder", Date, "٢٠٢٦/١٢/٧", {}, kRefused},
        // Numbers: only the whole text, with "." as the decimal point.
        SaveCase{"Count", SampleCount, "5", 5.0},
        SaveCase{"MeanExponent", Mean, " -1.5e2 ", -150.0},
        SaveCase{"CountEmpty", SampleCount, "", {}},
        SaveCase{"MeanComma", Mean, "7,26", {}, kRefused},
        SaveCase{"MeanTrailingText", Mean, "7.26abc", {}, kRefused},
        SaveCase{"MeanOverflow", Mean, "1e999", {}, kRefused},
        // Identifiers: kept as typed, up to the limit.
        SaveCase{"IdentifierBlanksKept", Identifier, " A-1 ", QString(" A-1 ")},
        SaveCase{"IdentifierTooLong", Identifier, "ABCDEFGHIJKLM", {}, legacy::kFieldTooSmall}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FieldTextTest, BoxTextsReadBackAsTheSameValue) {
  // What a bound box shows must save as the value it shows, in any locale.
  for (const QLocale& locale : {kChina, kUs, kGermany, kEgypt, kChakma})
    for (const QDate& d : {QDate(2004, 1, 29), QDate(2028, 2, 29), QDate(2099, 12, 31)})
      EXPECT_EQ(valueFromText(phb::Date, textFromValue(d, locale), locale), QVariant(d))
          << locale.name().toStdString();
  for (double v : {7.1, 0.0001, 123456789012345.0})
    EXPECT_EQ(valueFromText(phb::Mean, textFromValue(v, kChina), kChina), QVariant(v));
}

}  // namespace
}  // namespace sorvane::store::fieldtext
