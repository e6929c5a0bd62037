#include "PosixRegistry.h"

#include <QStandardPaths>

namespace sorvane::platform {

PosixRegistry::PosixRegistry()
    : PosixRegistry(QStandardPaths::findExecutable(QStringLiteral("hardinfo"))) {}

PosixRegistry::PosixRegistry(const QString& systemInformationProgram) {
  if (systemInformationProgram.isEmpty()) return;
  // Registry strings are in the system code page, which is what local 8-bit means to Qt.
  addString(kSystemInformationKey, kSystemInformationValue,
            systemInformationProgram.toLocal8Bit().toStdString());
}

}  // namespace sorvane::platform
