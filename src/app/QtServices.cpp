#include "QtServices.h"

#include <QCoreApplication>
#include <QDir>

#include "platform/IniFile.h"
#include "platform/QtDialogs.h"
#include "platform/QtFileAttributes.h"
#include "platform/QtMeter.h"
#include "platform/QtPointer.h"
#include "platform/QtProgramEnd.h"
#include "platform/QtProgramStart.h"
#ifdef _WIN32
#include "platform/Win32Registry.h"
#else
#include "platform/PosixRegistry.h"
#endif
#include "platform/QtPrinter.h"

namespace sorvane::app {

struct QtServices::Parts {
  platform::QtInputBox inputBox;
  platform::QtMessageBox messageBox;
  platform::QtProgramEnd programEnd;
  platform::QtPointer pointer;
#ifdef _WIN32
  platform::Win32Registry registry;
#else
  platform::PosixRegistry registry;
#endif
  platform::QtFileAttributes fileAttributes;
  platform::QtProgramStart programStart;
  platform::QtPrinterProvider printers;
  std::unique_ptr<platform::QtMeter> meter;
};

QtServices::QtServices() : parts_(std::make_unique<Parts>()) {
  services_.inputBox = &parts_->inputBox;
  services_.messageBox = &parts_->messageBox;
  services_.programEnd = &parts_->programEnd;
  services_.pointer = &parts_->pointer;
  services_.registry = &parts_->registry;
  services_.fileAttributes = &parts_->fileAttributes;
  services_.programStart = &parts_->programStart;
  services_.printers = &parts_->printers;
  services_.programFolder = QCoreApplication::applicationDirPath();
  // The administrator's settings beside the program; Sorvane only reads them.
  parts_->meter = platform::QtMeter::fromSettings(platform::IniFile::read(
      QDir(services_.programFolder).filePath(QStringLiteral("sorvane.ini"))));
  services_.meter = parts_->meter.get();
}

QtServices::~QtServices() = default;

}  // namespace sorvane::app
