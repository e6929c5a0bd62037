#include "platform/QtProgramEnd.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace sorvane::platform {

void QtProgramEnd::end() {
  // Every window goes at once and no handler runs after this one. Nothing is pending that
  // needs saving: each saved record is already durable in the database file.
  for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  std::fflush(nullptr);
  std::_Exit(0);
}

}  // namespace sorvane::platform
