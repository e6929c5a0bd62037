#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include "store/FieldText.h"
#include "store/StoreError.h"

namespace sorvane::store::fieldtext {
namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);

// What a box's text saves as: a value, no value (invalid), or a refusal with its number.
struct SaveCase {
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
        SaveCase{0, " 2024/2/29 ", QDate(2024, 2, 29)},
        SaveCase{0, "2004-01-29", QDate(2004, 1, 29)}, SaveCase{0, "  ", {}},
        SaveCase{0, "2/29/28", QDate(2028, 2, 29), 0, kUs},
        SaveCase{0, "29.01.04", QDate(2004, 1, 29), 0, kGermany},
        SaveCase{0, "2004/2/30", {}, legacy::kConversion},
        SaveCase{0, "2023-02-29", {}, legacy::kConversion},
        SaveCase{0, "２００４/1/29", {}, legacy::kConversion},
        SaveCase{0, "2004/1/29", {}, legacy::kConversion, kUs},
        // Numbers: only the whole text, with "." as the decimal point.
        SaveCase{2, "5", 5.0}, SaveCase{3, " -1.5e2 ", -150.0}, SaveCase{2, "", {}},
        SaveCase{3, "7,26", {}, legacy::kConversion},
        SaveCase{3, "7.26abc", {}, legacy::kConversion},
        SaveCase{3, "1e999", {}, legacy::kConversion}, SaveCase{3, "nan", {}, legacy::kConversion},
        // Identifiers: kept as typed, at most 12 characters.
        SaveCase{1, " A-1 ", QString(" A-1 ")},
        SaveCase{1, "ABCDEFGHIJKLM", {}, legacy::kFieldTooSmall}));

TEST(FieldTextTest, BoxTextsReadBackAsTheSameValue) {
  // What a bound box shows must save as the value it shows, in any locale.
  for (const QLocale& locale : {kChina, kUs, kGermany})
    for (const QDate& d : {QDate(2004, 1, 29), QDate(2028, 2, 29), QDate(2099, 12, 31)})
      EXPECT_EQ(valueFromText(0, textFromValue(d, locale), locale), QVariant(d));
  for (double v : {7.1, 0.0001, 123456789012345.0})
    EXPECT_EQ(valueFromText(3, textFromValue(v, kChina), kChina), QVariant(v));
}

}  // namespace
}  // namespace sorvane::store::fieldtext
