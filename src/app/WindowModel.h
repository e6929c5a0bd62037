#pragma once

#include <QPointer>
#include <memory>

#include "app/WindowSwitch.h"
#include "platform/Services.h"
#include "results/MainWindowLink.h"

namespace sorvane::results {
class frmPHZ;
}
namespace sorvane::about {
class fAbout1;
}

namespace sorvane::app {

class pH;

// The program's three windows. Each exists at most once and is created and loaded by the
// first operation on it; windows are switched by visibility, so a hidden window keeps its
// state. Only the About box unloads itself; the next use loads a fresh one.
class WindowModel final : public WindowSwitch, public results::MainWindowLink {
 public:
  explicit WindowModel(platform::Services& services);
  ~WindowModel() override;

  pH& mainWindow();
  results::frmPHZ& resultsWindow();
  about::fAbout1& aboutBox();

  bool isResultsWindowLoaded() const { return results_ != nullptr; }
  bool isAboutBoxLoaded() const { return !about_.isNull(); }

  // WindowSwitch
  void showResultsWindow() override;
  void showAboutBox() override;

  // MainWindowLink
  QString resultText() const override;
  QString headingText() const override;
  void showMainWindow() override;

 private:
  platform::Services& services_;
  // The main window is the others' parent, so it is declared first and destroyed last.
  std::unique_ptr<pH> main_;
  std::unique_ptr<results::frmPHZ> results_;
  QPointer<about::fAbout1> about_;
};

}  // namespace sorvane::app
