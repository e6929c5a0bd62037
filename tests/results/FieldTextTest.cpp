#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>

#include "results/FieldText.h"
#include "results/StoreError.h"

namespace sorvane::results::fieldtext {
namespace {

const QLocale kChina(QLocale::Chinese, QLocale::China);
const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGermany(QLocale::German, QLocale::Germany);

// What a box's text saves as: a value, no value, or a refusal with the engine's number.
struct SaveCase {
  int field;
  const char* text;
  QVariant expected;  // invalid: no value
  int refusedWith = 0;
  QLocale locale = kChina;
};

class SaveTextTest : public testing::TestWithParam<SaveCase> {};

TEST_P(SaveTextTest, ConvertsOrRefuses) {
  const SaveCase& c = GetParam();
  const QString text = QString::fromUtf8(c.text);
  if (c.refusedWith) {
    try {
      valueFromText(c.field, text, c.locale);
      FAIL() << "accepted " << c.text;
    } catch (const StoreError& e) {
      EXPECT_EQ(e.kind(), StoreError::Kind::RefusedValue) << c.text;
      EXPECT_EQ(e.number(), c.refusedWith) << c.text;
    }
    return;
  }
  const QVariant got = valueFromText(c.field, text, c.locale);
  EXPECT_EQ(got.isValid(), c.expected.isValid()) << c.text;
  EXPECT_EQ(got, c.expected) << c.text;
}

QVariant date(int y, int m, int d) { return QDate(y, m, d); }

INSTANTIATE_TEST_SUITE_P(
    Dates, SaveTextTest,
    testing::Values(
        // The short form the window writes, and ISO.
        SaveCase{0, "2004/1/29", date(2004, 1, 29)}, SaveCase{0, "2004/01/29", date(2004, 1, 29)},
        SaveCase{0, "2004-01-29", date(2004, 1, 29)}, SaveCase{0, " 2024/2/29 ", date(2024, 2, 29)},
        SaveCase{0, "", {}}, SaveCase{0, "   ", {}},
        // Not dates, or dates that do not exist.
        SaveCase{0, "2004/2/30", {}, 3421}, SaveCase{0, "2023-02-29", {}, 3421},
        SaveCase{0, "2004-1-29", {}, 3421}, SaveCase{0, "29.01.2004", {}, 3421},
        SaveCase{0, "2004/1/29 10:00", {}, 3421}, SaveCase{0, "今天", {}, 3421},
        SaveCase{0, "２００４/1/29", {}, 3421},
        // Two-digit years are this century, leap days included.
        SaveCase{0, "1/29/04", date(2004, 1, 29), 0, kUs},
        SaveCase{0, "2/29/28", date(2028, 2, 29), 0, kUs},
        SaveCase{0, "1/29/2004", date(2004, 1, 29), 0, kUs},
        SaveCase{0, "29.01.04", date(2004, 1, 29), 0, kGermany},
        SaveCase{0, "2004-01-29", date(2004, 1, 29), 0, kGermany},
        SaveCase{0, "2004/1/29", {}, 3421, kUs}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, SaveTextTest,
    testing::Values(SaveCase{2, "5", 5.0}, SaveCase{3, "7.26", 7.26}, SaveCase{3, " 7.26 ", 7.26},
                    SaveCase{3, "-1.5e2", -150.0}, SaveCase{3, ".5", 0.5}, SaveCase{3, "7.", 7.0},
                    SaveCase{2, "", {}}, SaveCase{3, " ", {}},
                    // Only the whole text as a number, with "." as the decimal point.
                    SaveCase{3, "7,26", {}, 3421}, SaveCase{3, "7.26abc", {}, 3421},
                    SaveCase{2, "5 个", {}, 3421}, SaveCase{3, "&H10", {}, 3421},
                    SaveCase{3, "1e999", {}, 3421}, SaveCase{3, "nan", {}, 3421},
                    SaveCase{3, ".", {}, 3421}, SaveCase{3, "7.2.6", {}, 3421}));

INSTANTIATE_TEST_SUITE_P(
    Identifiers, SaveTextTest,
    testing::Values(SaveCase{1, "", {}}, SaveCase{1, " A-1 ", QString(" A-1 ")},
                    SaveCase{1, "123", QString("123")},
                    SaveCase{1, "一二三四五六七八九十一二", QString("一二三四五六七八九十一二")},
                    SaveCase{1, "一二三四五六七八九十一二三", {}, 3163},
                    SaveCase{1, "ABCDEFGHIJKLM", {}, 3163}));

TEST(FieldTextTest, BoxTextsReadBackAsTheSameValue) {
  // What a bound box shows must save as the value it shows, in any locale.
  for (const QLocale& locale : {kChina, kUs, kGermany}) {
    for (const QDate& d : {QDate(2004, 1, 29), QDate(2028, 2, 29), QDate(2099, 12, 31)}) {
      const QString text = textFromValue(d, locale);
      EXPECT_EQ(valueFromText(0, text, locale), QVariant(d)) << text.toStdString();
    }
  }
  for (double v : {7.26, 7.1, 5.0, 0.0001, 123456789012345.0}) {
    const QString text = textFromValue(v, kChina);
    EXPECT_EQ(valueFromText(3, text, kChina), QVariant(v)) << text.toStdString();
  }
  EXPECT_EQ(textFromValue(QDate(2004, 1, 29), kChina), QStringLiteral("2004/1/29"));
  EXPECT_EQ(textFromValue(7.1, kChina), QStringLiteral("7.1"));
  EXPECT_EQ(textFromValue(QVariant(), kChina), QString());
}

}  // namespace
}  // namespace sorvane::results::fieldtext
