#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "platform/Services.h"

class QLabel;
class QLineEdit;

namespace sorvane::widgets {
class FormsButton;
class PictureBox;
}  // namespace sorvane::widgets

namespace sorvane::app {

class ReadingSeries;
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

  // The controls keep their design names; where a name does not say what it is:
  widgets::PictureBox* Picture1;  // the backdrop picture, parent of every other control
  widgets::FormsButton* Com1;     // "Sorvane": asks for the readings and computes the mean
  QLabel* L1;                     // the welcome text, until the first computation
  QLabel* Label2;                 // the credit line
  QLineEdit* Tx1;                 // the mean pH
  QLabel* L2;                     // the heading above the mean: " N 个 pH 值的均值如下："
  widgets::FormsButton* CommandButton1;  // END: ends the program
  widgets::FormsButton* CommandButton2;  // the About box's hot spot in the picture's corner
  widgets::FormsButton* CommandButton3;  // 保存/查看: the results window

 protected:
  // The window has no close box; a close request from the desktop ends the program.
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildPicture();
  void buildControls();
  struct ResultState;
  ResultState saveResultState() const;
  void restoreResultState(const ResultState& state);
  // The readings of one series, the meter filling the dialogs; no value on Cancel. An
  // infinite reading is the last: no mean can come of it, and asking for the rest would only
  // waste the user's typing.
  std::optional<std::vector<double>> askReadings(double count);
  // Asks for the i-th reading until the answer holds a number; no value on Cancel.
  std::optional<double> askReading(double i, double count, ReadingSeries& series);

  platform::Services& services_;
  WindowSwitch& windows_;
};

}  // namespace sorvane::app
