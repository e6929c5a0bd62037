#include "app/RunSorvane.h"

#include <QApplication>

#include "app/QtServices.h"
#include "app/WindowModel.h"
#include "app/pH.h"
#include "platform/Fonts.h"
#include "platform/QtTranslation.h"
#include "platform/WindowRoles.h"

namespace sorvane::app {

int runSorvane(int argc, char** argv) {
  QApplication application(argc, argv);
  // Windows hide while dialogs are open; the program ends only by its own rules.
  QApplication::setQuitOnLastWindowClosed(false);
  platform::installFontSubstitutes();
  platform::installWindowRoles();
  platform::installQtTranslation();

  QtServices platform;
  WindowModel windows(platform.services());
  windows.mainWindow().show();
  return QApplication::exec();
}

}  // namespace sorvane::app
