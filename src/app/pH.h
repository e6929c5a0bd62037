#pragma once

#include <QWidget>

#include "platform/Services.h"

class QLabel;
class QLineEdit;

namespace sorvane::widgets {
class FormsButton;
class PictureBox;
}  // namespace sorvane::widgets

namespace sorvane::app {

class WindowSwitch;

// The main window: a borderless backdrop picture with the compute button, the result
// heading and box, and the buttons that switch to the other windows or end the program.
class pH : public QWidget {
  Q_OBJECT

 public:
  pH(platform::Services& services, WindowSwitch& windows, QWidget* parent = nullptr);

  // Handlers, named after the control and event they serve.
  void Form_Load();
  void Com1_Click();
  void CommandButton1_Click();
  void CommandButton2_Click();
  void CommandButton3_Click();

  widgets::PictureBox* Picture1;
  widgets::FormsButton* Com1;
  QLabel* L1;
  QLabel* Label2;
  QLineEdit* Tx1;
  QLabel* L2;
  widgets::FormsButton* CommandButton1;
  widgets::FormsButton* CommandButton2;
  widgets::FormsButton* CommandButton3;

 protected:
  // The window has no close box; a close request from the desktop ends the program.
  void closeEvent(QCloseEvent* event) override;

 private:
  struct ResultState;
  ResultState saveResultState() const;
  void restoreResultState(const ResultState& state);
  // Asks for the i-th reading until the answer holds a number; no value on Cancel.
  std::optional<double> askReading(double i, double count);

  platform::Services& services_;
  WindowSwitch& windows_;
};

}  // namespace sorvane::app
