#include "QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "platform/AppInfo.h"

namespace sorvane::platform {

std::optional<QString> QtInputBox::ask(const QString& prompt, const QString& title,
                                       const QString& defaultText, InputFeed* feed) {
  QInputDialog dialog;
  dialog.setWindowTitle(title);
  dialog.setLabelText(prompt);
  dialog.setTextValue(defaultText);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setOkButtonText(QStringLiteral("确定"));
  dialog.setCancelButtonText(QStringLiteral("取消"));
  if (feed)
    QObject::connect(feed, &InputFeed::text, &dialog, [&dialog](const QString& text) {
      dialog.setTextValue(text);
      if (auto* field = dialog.findChild<QLineEdit*>()) field->selectAll();
    });
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

std::optional<QString> QtInputBox::askSecret(const QString& prompt, const QString& title) {
  QInputDialog dialog;
  dialog.setWindowTitle(title);
  dialog.setLabelText(prompt);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextEchoMode(QLineEdit::Password);
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

}  // namespace sorvane::platform
