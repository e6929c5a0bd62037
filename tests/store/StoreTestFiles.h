#pragma once

// Temporary copies of the empty results database the build makes.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "results/RecordSet.h"

namespace sorvane::results::testfiles {

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

}  // namespace sorvane::results::testfiles
