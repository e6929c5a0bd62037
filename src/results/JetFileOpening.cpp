#include "results/JetFileOpening.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>
#include <algorithm>
#include <climits>
#include <memory>

#include "jet/ConversionProcess.h"
#include "platform/AppInfo.h"
#include "platform/MessageBox.h"

namespace sorvane::results {

QString conversionMessage(const jet::Conversion& done) {
  return QStringLiteral(
             "旧版 Access 结果数据库中的 %1 条记录已全部转换为新的格式。"
             "原来的文件原样保存在“%2”。")
      .arg(done.records)
      .arg(QDir::toNativeSeparators(done.keptOriginal));
}

QString converterProgram() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sorvane-convert"));
}

void bringJetFileOver(platform::Services& services, const QString& path, QWidget* parent) {
  std::unique_ptr<QProgressDialog> dialog;
  QElapsedTimer clock;
  clock.start();
  jet::ChildOptions options{
      converterProgram(), jet::ChildLimits::forFile(QFileInfo(path).size()), {}};
  // Called on every tick of the child, so the dialog comes up even while it says nothing.
  options.progress = [&](qint64 stored, qint64 total) {
    if (!dialog && clock.elapsed() >= kProgressAfterMs) {
      // No cancel button: stopping halfway would only throw the work away.
      dialog = std::make_unique<QProgressDialog>(QStringLiteral("正在转换旧版结果数据库……"),
                                                 QString(), 0, 0, parent);
      dialog->setWindowTitle(platform::AppInfo::title());
      dialog->setWindowModality(Qt::ApplicationModal);
      dialog->setMinimumDuration(0);
      dialog->setAutoClose(false);
      dialog->setAutoReset(false);
    }
    if (!dialog) return;
    dialog->setMaximum(int(std::min<qint64>(total, INT_MAX)));
    dialog->setValue(int(std::min<qint64>(stored, total)));
    QCoreApplication::processEvents();
  };
  const std::optional<jet::Conversion> done = jet::convertJetFileInPlaceInChild(path, options);
  dialog.reset();
  if (done && services.messageBox) services.messageBox->show(conversionMessage(*done));
}

}  // namespace sorvane::results
