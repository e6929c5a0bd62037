#include "store/sqlite/DatabasePath.h"

#include <QDir>

namespace sorvane::store {

QString databasePath(const QString& programFolder) {
  QString path = programFolder;
  if (!path.endsWith(u'/') && !path.endsWith(u'\\')) path += QDir::separator();
  return path + QStringLiteral("phjz.mdb");
}

}  // namespace sorvane::store
