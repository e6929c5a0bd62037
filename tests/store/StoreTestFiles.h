#pragma once

// Temporary copies of the empty results database the build makes, and records put into them.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <initializer_list>

#include "store/DatabasePath.h"

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

// Appends one record per identifier, each with a fixed date, count and mean.
void seedRecords(const QString& path, std::initializer_list<QString> identifiers);

// The stored values of one field, in table order, as a fresh reader sees them.
QStringList storedTexts(const QString& path, const QString& field);

}  // namespace sorvane::store::testfiles
