#include "WindowRoles.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace sorvane::platform {

namespace {

// Asked first for an object's own class. Only a widget whose class derives directly from
// QWidget is taken: dialogs and message boxes have their roles from Qt already, and a widget
// being destroyed is asked as a bare QWidget, which is left to Qt.
QAccessibleInterface* windowInterface(const QString& className, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget || !widget->isWindow()) return nullptr;
  const QMetaObject* type = widget->metaObject();
  if (type->superClass() != &QWidget::staticMetaObject ||
      className != QLatin1String(type->className()))
    return nullptr;
  switch (widget->windowType()) {
    case Qt::Window:
      return new QAccessibleWidget(widget, QAccessible::Window);
    case Qt::Dialog:
      return new QAccessibleWidget(widget, QAccessible::Dialog);
    default:
      return nullptr;
  }
}

}  // namespace

void installWindowRoles() {
  static const bool installed = (QAccessible::installFactory(windowInterface), true);
  Q_UNUSED(installed);
}

}  // namespace sorvane::platform
