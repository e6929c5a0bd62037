#include "platform/QtPointer.h"

#include <QApplication>
#include <QWidget>

namespace sorvane::platform {

void QtPointer::setScreenPointer(PointerShape shape) {
  if (shape == screen_) return;
  // The override cursor is a stack; this keeps at most one entry on it.
  if (screen_ != PointerShape::Default) QApplication::restoreOverrideCursor();
  if (shape != PointerShape::Default) QApplication::setOverrideCursor(Qt::WaitCursor);
  screen_ = shape;
}

void QtPointer::setWindowPointer(QWidget& window, PointerShape shape) {
  if (shape == PointerShape::Hourglass)
    window.setCursor(Qt::WaitCursor);
  else
    window.unsetCursor();
}

PointerShape QtPointer::windowPointer(const QWidget& window) const {
  return window.testAttribute(Qt::WA_SetCursor) && window.cursor().shape() == Qt::WaitCursor
             ? PointerShape::Hourglass
             : PointerShape::Default;
}

}  // namespace sorvane::platform
