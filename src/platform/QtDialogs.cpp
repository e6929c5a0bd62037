#include "QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "platform/AppInfo.h"

namespace sorvane::platform {

std::optional<QString> QtInputBox::ask(const QString& prompt, const QString& title,
                                       const QString& defaultText) {
  QInputDialog dialog;
  dialog.setWindowTitle(title);
  dialog.setLabelText(prompt);
  dialog.setTextValue(defaultText);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setOkButtonText(QStringLiteral("确定"));
  dialog.setCancelButtonText(QStringLiteral("取消"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

namespace {

// The window a message speaks for: the active one, else the shown main window, which the
// window system may not have activated yet when a message follows its showing at once.
QWidget* messageOwner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible() && window->windowType() == Qt::Window) return window;
  return nullptr;
}

}  // namespace

void QtMessageBox::show(const QString& prompt) {
  // A child of that window, so that window managers keep it with the window as its dialog.
  // Guarded, as a parent that goes first takes its children along.
  QPointer<QMessageBox> box = new QMessageBox(QMessageBox::NoIcon, AppInfo::title(), prompt,
                                              QMessageBox::NoButton, messageOwner());
  box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
  box->exec();
  delete box.data();
}

void QtProgramEnd::end() {
  // Every window goes at once and no handler runs after this one. Nothing is pending that
  // needs saving: each saved record is already durable in the database file.
  for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
  std::fflush(nullptr);
  std::_Exit(0);
}

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
