#include "results/StoreTestFiles.h"

#include <gtest/gtest.h>

#include <QFile>

namespace sorvane::results::testfiles {

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

}  // namespace sorvane::results::testfiles
