#pragma once

namespace sorvane::app {

// What the main window's buttons ask of the window model.
class WindowSwitch {
 public:
  virtual ~WindowSwitch() = default;
  // Makes the results window visible, creating and loading it on first use.
  virtual void showResultsWindow() = 0;
  // Makes the About box visible, creating and loading it when it is not loaded.
  virtual void showAboutBox() = 0;
};

}  // namespace sorvane::app
