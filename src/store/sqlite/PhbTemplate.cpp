#include "store/sqlite/PhbTemplate.h"

#include <QFile>

namespace sorvane::store {

QByteArray templateSql() {
  QFile file(QStringLiteral(":/store/phb.sql"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QByteArray historySql() {
  const QByteArray sql = templateSql();
  const qsizetype begin = sql.indexOf("-- history begins\n");
  const qsizetype end = sql.indexOf("-- history ends\n");
  if (begin < 0 || end < begin) return {};
  return sql.mid(begin, end - begin);
}

}  // namespace sorvane::store
