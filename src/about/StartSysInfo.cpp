#include "StartSysInfo.h"

#include <string>

#include "about/GetKeyValue.h"
#include "platform/FileAttributes.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStart.h"
#include "platform/Registry.h"

namespace sorvane::about {

using platform::Registry;

namespace {

// Registry texts are in the system code page, which is what local 8-bit means to Qt.
bool readText(Registry& registry, const char* keyName, const char* valueName, QString& text) {
  std::string value;
  const bool read = GetKeyValue(registry, Registry::kLocalMachine, keyName, valueName, value);
  text = QString::fromLocal8Bit(value.data(), static_cast<qsizetype>(value.size()));
  return read;
}

// The tool's path, or the empty text when neither location leads to it.
QString findTool(platform::Services& services) {
  QString toolPath;
  // The first location names the program itself and is trusted as it stands.
  if (readText(*services.registry, platform::kSystemInformationKey,
               platform::kSystemInformationValue, toolPath))
    return toolPath;
  if (!readText(*services.registry, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                toolPath))
    return {};
  // Appended unchanged, even after a folder that already ends in a backslash.
  const QString candidate = toolPath + QStringLiteral("\\MSINFO32.EXE");
  return services.fileAttributes->isNormalFile(candidate) ? candidate : QString();
}

bool startTool(platform::Services& services) {
  try {
    const QString toolPath = findTool(services);
    return !toolPath.isEmpty() && services.programStart->start(toolPath);
  } catch (...) {
    return false;
  }
}

}  // namespace

void StartSysInfo(platform::Services& services) {
  if (!startTool(services)) services.messageBox->show(QString::fromUtf16(kSysInfoUnavailable));
}

}  // namespace sorvane::about
