// Tests run on Qt's offscreen platform with the Chinese (PRC) locale pinned, so dates and
// numbers read the same on every machine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>

#include "platform/Fonts.h"
#include "platform/QtTranslation.h"
#include "platform/WindowRoles.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  sorvane::platform::installFontSubstitutes();
  sorvane::platform::installWindowRoles();
  sorvane::platform::installQtTranslation();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
