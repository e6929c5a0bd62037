#pragma once

#include <QString>

namespace sorvane::results {

// What the results window reads from and does to the main window.
class MainWindowLink {
 public:
  virtual ~MainWindowLink() = default;
  // The text of the result box Tx1.
  virtual QString resultText() const = 0;
  // The caption of the heading label L2.
  virtual QString headingText() const = 0;
  virtual void showMainWindow() = 0;
};

}  // namespace sorvane::results
