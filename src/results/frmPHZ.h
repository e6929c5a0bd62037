#pragma once

#include <QWidget>

#include "platform/Services.h"
#include "results/MainWindowLink.h"

namespace sorvane::results {

// The results window (placeholder until the record navigator lands).
class frmPHZ : public QWidget {
  Q_OBJECT

 public:
  frmPHZ(platform::Services& services, MainWindowLink& mainWindow, QWidget* parent = nullptr);

 private:
  platform::Services& services_;
  MainWindowLink& mainWindow_;
};

}  // namespace sorvane::results
