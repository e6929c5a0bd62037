#pragma once

// Temporary copies of the empty results database the build makes, and records put into them.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

#include "store/DatabasePath.h"
#include "store/RecordSet.h"

namespace sorvane::store::testfiles {

// A fresh phjz.mdb in a folder of its own, removed with the object.
class TempDatabase {
 public:
  TempDatabase();
  QString path() const { return databasePath(dir_.path()); }
  QString folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

QByteArray fileBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

// One record's field texts, as typed into the bound boxes.
struct Record {
  QString date = QStringLiteral("2024-05-01");
  QString identifier;
  QString count = QStringLiteral("5");
  QString mean = QStringLiteral("7.2");
};

// Appends the records in order and gives back their bookmarks.
std::vector<Bookmark> seedRecords(const QString& path, const std::vector<Record>& records);

// The stored values of one field, in table order, as a fresh reader sees them.
QStringList storedTexts(const QString& path, const QString& field);

}  // namespace sorvane::store::testfiles
