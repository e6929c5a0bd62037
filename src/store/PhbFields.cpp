#include "store/PhbFields.h"

namespace sorvane::store::phb {

const QStringList& fieldNames() {
  static const QStringList names{QStringLiteral("日期"), QStringLiteral("标识符"),
                                 QStringLiteral("样本数"), QStringLiteral("pH均值")};
  return names;
}

int fieldIndex(const QString& name) {
  const QStringList& names = fieldNames();
  for (int i = 0; i < names.size(); ++i)
    if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

}  // namespace sorvane::store::phb
