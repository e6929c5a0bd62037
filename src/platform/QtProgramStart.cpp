#include "QtProgramStart.h"

#include <QProcess>

namespace sorvane::platform {

bool QtProgramStart::start(const QString& program) {
  if (program.isEmpty()) return false;
  // The program with an empty argument list: Qt neither splits the path nor uses a shell,
  // and the detached process outlives this one.
  return QProcess::startDetached(program, {});
}

}  // namespace sorvane::platform
