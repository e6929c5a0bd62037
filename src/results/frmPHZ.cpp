#include "frmPHZ.h"

namespace sorvane::results {

frmPHZ::frmPHZ(platform::Services& services, MainWindowLink& mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(services), mainWindow_(mainWindow) {
  setWindowTitle(QStringLiteral(" pH平均值结果库"));
}

}  // namespace sorvane::results
