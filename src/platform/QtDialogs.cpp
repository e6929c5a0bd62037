#include "QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

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

void QtMessageBox::show(const QString& prompt) {
  QMessageBox box(QMessageBox::NoIcon, AppInfo::title(), prompt, QMessageBox::NoButton);
  box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
  box.exec();
}

}  // namespace sorvane::platform
