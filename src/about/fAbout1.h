#pragma once

#include <QDialog>
#include <array>

#include "platform/Services.h"

class QLabel;
class QPushButton;

namespace sorvane::widgets {
class Line;
}

namespace sorvane::about {

// The About box: title, version, the method the program follows, a credit and a notice,
// and a button that starts the system-information tool. It is modeless and unloads itself
// when closed (确定, Esc, or the window system); the next showing loads a fresh one.
class fAbout1 : public QDialog {
  Q_OBJECT

 public:
  explicit fAbout1(platform::Services& services, QWidget* parent = nullptr);

  // "版本 " and the three numbers, in plain decimal.
  static QString versionText(int major, int minor, int revision);

  // Handlers, named after the control and event they serve.
  void Form_Load();
  void cmdOK_Click();
  void cmdSysInfo_Click();

  QPushButton* cmdOK;
  QPushButton* cmdSysInfo;
  QLabel* lblDescription;
  QLabel* lblDisclaimer;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* Label1;                       // the programmer's credit
  std::array<widgets::Line*, 2> Line1;  // the engraved rule: [1] grey, [0] white below it

 protected:
  // Esc presses the cancel button, which is 确定.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  platform::Services& services_;
};

}  // namespace sorvane::about
