#pragma once

#include <QWidget>

#include "platform/Services.h"

namespace sorvane::about {

// The About box (placeholder until its own work lands). It unloads itself when closed.
class fAbout1 : public QWidget {
  Q_OBJECT

 public:
  explicit fAbout1(platform::Services& services, QWidget* parent = nullptr);

 private:
  platform::Services& services_;
};

}  // namespace sorvane::about
