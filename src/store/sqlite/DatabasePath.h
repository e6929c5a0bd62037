#pragma once

#include <QString>

namespace sorvane::store {

// phjz.mdb in the program's folder: the folder, a separator unless it ends in one, then the
// file name.
QString databasePath(const QString& programFolder);

}  // namespace sorvane::store
