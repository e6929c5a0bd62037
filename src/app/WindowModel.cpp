#include "WindowModel.h"

#include <QLabel>
#include <QLineEdit>

#include "about/fAbout1.h"
#include "app/pH.h"
#include "results/frmPHZ.h"

namespace sorvane::app {

WindowModel::WindowModel(platform::Services& services) : services_(services) {}

WindowModel::~WindowModel() { delete about_.data(); }

pH& WindowModel::mainWindow() {
  if (!main_) main_ = std::make_unique<pH>(services_, *this);
  return *main_;
}

// The main window is the parent of the other two, so that window managers keep them with it
// as its dialogs; a window shown on its own stays shown while its parent is hidden.
results::frmPHZ& WindowModel::resultsWindow() {
  if (!results_) results_ = std::make_unique<results::frmPHZ>(services_, *this, &mainWindow());
  return *results_;
}

about::fAbout1& WindowModel::aboutBox() {
  // The box deletes itself when it is closed, which clears this guarded pointer.
  if (about_.isNull()) about_ = new about::fAbout1(services_, &mainWindow());
  return *about_;
}

void WindowModel::showResultsWindow() { resultsWindow().show(); }

void WindowModel::showAboutBox() {
  about::fAbout1& box = aboutBox();
  box.show();
  box.raise();
  box.activateWindow();
}

QString WindowModel::resultText() const { return main_ ? main_->Tx1->text() : QString(); }

QString WindowModel::headingText() const { return main_ ? main_->L2->text() : QString(); }

void WindowModel::showMainWindow() { mainWindow().show(); }

}  // namespace sorvane::app
