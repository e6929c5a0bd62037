#pragma once

// A stand-in for the main window, as the results window reads and shows it.

#include <QString>
#include <functional>

#include "results/MainWindowLink.h"

namespace sorvane::results {

class FakeMainWindow final : public MainWindowLink {
 public:
  QString resultText() const override { return result; }
  QString headingText() const override { return heading; }
  void showMainWindow() override {
    ++shown;
    if (onShow) onShow();
  }

  QString result = QStringLiteral("8888");
  QString heading = QStringLiteral("Label1");
  int shown = 0;
  std::function<void()> onShow;
};

}  // namespace sorvane::results
