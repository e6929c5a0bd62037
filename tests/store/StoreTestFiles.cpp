#include "store/StoreTestFiles.h"

#include <gtest/gtest.h>

#include <QFile>

#include "store/PhbFields.h"

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

std::vector<Bookmark> seedRecords(const QString& path, const std::vector<Record>& records) {
  const std::unique_ptr<RecordSet> set = RecordSet::open(path);
  std::vector<Bookmark> bookmarks;
  for (const Record& record : records) {
    set->addNew();
    const QString texts[] = {record.date, record.identifier, record.count, record.mean};
    for (int i = 0; i < phb::kFieldCount; ++i) set->setFieldText(phb::fieldNames()[i], texts[i]);
    set->update();
    bookmarks.push_back(*set->lastModified());
  }
  return bookmarks;
}

QStringList storedTexts(const QString& path, const QString& field) {
  QStringList texts;
  const std::unique_ptr<RecordSet> set = RecordSet::open(path);
  for (; set->recordCount() > 0 && !set->eof(); set->moveNext())
    texts.append(set->fieldText(field));
  return texts;
}

}  // namespace sorvane::store::testfiles
