#include "QtServices.h"

#include <QApplication>

#include "app/WindowModel.h"
#include "app/pH.h"
#include "platform/Fonts.h"
#include "platform/QtDialogs.h"
#include "platform/QtFileTest.h"
#include "platform/QtProgramStart.h"
#include "platform/WindowRoles.h"
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
  platform::QtFileTest fileTest;
  platform::QtProgramStart programStart;
  platform::QtPrinterProvider printers;
};

QtServices::QtServices() : parts_(std::make_unique<Parts>()) {
  services_.inputBox = &parts_->inputBox;
  services_.messageBox = &parts_->messageBox;
  services_.programEnd = &parts_->programEnd;
  services_.pointer = &parts_->pointer;
  services_.registry = &parts_->registry;
  services_.fileTest = &parts_->fileTest;
  services_.programStart = &parts_->programStart;
  services_.printers = &parts_->printers;
  services_.programFolder = QCoreApplication::applicationDirPath();
}

QtServices::~QtServices() = default;

int runSorvane(int argc, char** argv) {
  QApplication application(argc, argv);
  // Windows hide while dialogs are open; the program ends only by its own rules.
  QApplication::setQuitOnLastWindowClosed(false);
  platform::installFontSubstitutes();
  platform::installWindowRoles();

  QtServices platform;
  WindowModel windows(platform.services());
  windows.mainWindow().show();
  return QApplication::exec();
}

}  // namespace sorvane::app
