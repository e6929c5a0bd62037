#include "store/StoreTestFiles.h"

#include <gtest/gtest.h>

#include <QFile>

#include "store/RecordSet.h"

namespace sorvane::store::testfiles {

TempDatabase::TempDatabase() {
  EXPECT_TRUE(QFile::copy(QStringLiteral(SORVANE_DATABASE_TEMPLATE), path()))
      << "no template database at " << SORVANE_DATABASE_TEMPLATE;
  QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

}  // namespace sorvane::store::testfiles

namespace sorvane::store::testfiles {

void seedRecords(const QString& path, std::initializer_list<QString> identifiers) {
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

QStringList storedTexts(const QString& path, const QString& field) {
  QStringList texts;
  const std::unique_ptr<RecordSet> set = RecordSet::open(path);
  for (; set->recordCount() > 0 && !set->eof(); set->moveNext())
    texts.append(set->fieldText(field));
  return texts;
}

}  // namespace sorvane::store::testfiles
