// The store's text conversions in every locale Qt knows. From the input come a locale, a
// date and a number, whose texts in the bound boxes must save as the same value, and a text
// typed into each box, which either saves as a value the box shows and saves again alike,
// or is refused with the store's conversion or length error.

#include <fuzzer/FuzzedDataProvider.h>

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "FieldText.h"
#include "NumberText.h"
#include "PhbFields.h"
#include "StoreError.h"

namespace {

using namespace sorvane::store;
using namespace sorvane::store::fieldtext;
using namespace sorvane::store::phb;

const QList<QLocale>* locales = nullptr;

[[noreturn]] void fail(const QLocale& locale, const QString& text, const char* what) {
  std::fprintf(stderr, "locale %s (short date %s), text \"%s\": %s\n",
               locale.name().toUtf8().constData(),
               locale.dateFormat(QLocale::ShortFormat).toUtf8().constData(),
               text.toUtf8().constData(), what);
  std::abort();
}

// Dates the locale's short form names without doubt: a two-digit year is read as 20yy.
bool writable(const QDate& date, const QLocale& locale) {
  if (locale.dateFormat(QLocale::ShortFormat).contains(u"yyyy")) return date.year() >= 1;
  return date.year() >= 2000 && date.year() <= 2099;
}

// Saves the text, or no value when the field refuses it with one of its own errors.
std::optional<QVariant> save(int field, const QString& text, const QLocale& locale) {
  try {
    return valueFromText(field, text, locale);
  } catch (const StoreError& e) {
    if (e.number() != 3421 && !(field == 1 && e.number() == 3163))
      fail(locale, text, "refused with an unexpected error");
    return std::nullopt;
  }
}

void checkShownValueSaves(const QVariant& value, int field, const QLocale& locale) {
  const QString text = textFromValue(value, locale);
  const std::optional<QVariant> saved = save(field, text, locale);
  if (!saved) fail(locale, text, "what the box shows is refused");
  if (field == 0 && *saved != value) fail(locale, text, "the date shown saves as another");
  if (field != 0 && textFromValue(*saved, locale) != text)
    fail(locale, text, "the number shown saves as another");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  locales = new QList<QLocale>(
      QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const QLocale& locale = (*locales)[in.ConsumeIntegralInRange<qsizetype>(0, locales->size() - 1)];

  const QDate date = QDate::fromJulianDay(in.ConsumeIntegralInRange<qint64>(
      QDate(1, 1, 1).toJulianDay(), QDate(9999, 12, 31).toJulianDay()));
  if (writable(date, locale)) checkShownValueSaves(date, 0, locale);

  // The few doubles next to the largest show a 15-digit text beyond it, which the box
  // refuses as it refuses any number too large for a double.
  const double number = in.ConsumeFloatingPoint<double>();
  if (std::isfinite(sorvane::numbers::val(sorvane::numbers::numberToText(number))))
    checkShownValueSaves(number, 3, locale);

  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const QString typed = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
  const int index = fieldIndex(typed);
  if (index < -1 || index >= kFieldCount) fail(locale, typed, "no such field");
  for (int field = 0; field < kFieldCount; ++field) {
    const std::optional<QVariant> saved = save(field, typed, locale);
    if (!saved || !saved->isValid()) continue;
    switch (fieldType(field)) {
      case FieldType::Date:
        if (!saved->toDate().isValid()) fail(locale, typed, "saved an invalid date");
        if (writable(saved->toDate(), locale)) checkShownValueSaves(*saved, field, locale);
        break;
      case FieldType::Number:
        if (!std::isfinite(saved->toDouble())) fail(locale, typed, "saved a number beyond range");
        if (std::isfinite(sorvane::numbers::val(textFromValue(*saved, locale))))
          checkShownValueSaves(*saved, field, locale);
        break;
      case FieldType::Text:
        if (saved->toString() != typed || typed.toUcs4().size() > kIdentifierLimit)
          fail(locale, typed, "saved another identifier");
        break;
    }
  }
  return 0;
}
