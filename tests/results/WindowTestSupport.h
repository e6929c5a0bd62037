#pragma once

// Shared by the results window's tests: a seeded phjz.mdb and a stand-in main window.

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>

#include "results/MainWindowLink.h"
#include "results/RecordSet.h"

namespace sorvane::results::testfiles {

// Appends one record per identifier, each with a fixed date, count and mean.
inline void seedRecords(const QString& path, std::initializer_list<QString> identifiers) {
  const std::unique_ptr<RecordSet> set = RecordSet::open(path);
  for (const QString& identifier : identifiers) {
    set->addNew();
    set->setFieldText(QStringLiteral("日期"), QStringLiteral("2024-05-01"));
    set->setFieldText(QStringLiteral("标识符"), identifier);
    set->setFieldText(QStringLiteral("样本数"), QStringLiteral("5"));
    set->setFieldText(QStringLiteral("pH均值"), QStringLiteral("7.2"));
    set->update();
  }
}

// The stored values of one field, in table order, as a fresh reader sees them.
inline QStringList storedTexts(const QString& path, const QString& field) {
  QStringList texts;
  const std::unique_ptr<RecordSet> set = RecordSet::open(path);
  for (; set->recordCount() > 0 && !set->eof(); set->moveNext())
    texts.append(set->fieldText(field));
  return texts;
}

class FakeMainWindow final : public MainWindowLink {
 public:
  QString resultText() const override { return result; }
  QString headingText() const override { return heading; }
  void showMainWindow() override { ++shown; }

  QString result = QStringLiteral("8888");
  QString heading = QStringLiteral("Label1");
  int shown = 0;
};

}  // namespace sorvane::results::testfiles
