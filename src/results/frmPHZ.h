#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "platform/Services.h"
#include "results/MainWindowLink.h"
#include "store/PhbFields.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sorvane::widgets {
class DataNavigator;
class FormsButton;
}  // namespace sorvane::widgets

namespace sorvane::results {

// The results window: one stored result at a time in four boxes bound to table phb, the
// record navigator along the bottom edge, and buttons to add a record pre-filled from the
// last computation, delete, re-read, save, print and go back to the main window. It is
// never closed, only hidden, so it keeps its record, caption and pending edits.
class frmPHZ : public QWidget {
  Q_OBJECT

 public:
  frmPHZ(platform::Services& services, MainWindowLink& mainWindow, QWidget* parent = nullptr);
  ~frmPHZ() override;

  // Handlers, named after the control and event they serve.
  void Form_Load();
  void cmdAdd_Click();
  void cmdDelete_Click();
  void cmdRefresh_Click();
  void cmdUpdate_Click();
  void cmdClose_Click();
  void prn_Click();
  void Data1_Error(int& dataErr, int& response);
  void Data1_Reposition();
  void Data1_Validate(int& action, int& save);
  // 查看本记录的修改历史…, from the context menu of the record area and the navigator bar.
  void mnuHistory_Click();

  // Indexed by store::phb::Field: date, identifier, sample count, mean.
  std::array<QLabel*, store::phb::kFieldCount> lblLabels{};
  std::array<QLineEdit*, store::phb::kFieldCount> txtFields{};
  QPushButton* cmdAdd;
  QPushButton* cmdDelete;
  QPushButton* cmdRefresh;
  QPushButton* cmdUpdate;
  QPushButton* cmdClose;
  widgets::FormsButton* prn;      // 打印报表: prints the report
  widgets::DataNavigator* Data1;  // the record navigator along the bottom edge
  QAction* mnuHistory;            // in every context menu of the window; needs a current record

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildFields();
  void buildButtons();
  void buildNavigator();
  void buildHistoryMenu();
  // A record operation that fails shows its message and changes nothing, so the user can
  // correct the boxes and try again.
  void reportStoreErrors(const std::function<void()>& operation);
  // The window's context menu at `pos` of `source`, a text box's own editing menu included.
  void showContextMenu(QWidget* source, const QPoint& pos);

  platform::Services& services_;
  MainWindowLink& mainWindow_;
  // What cmdAdd last read from the main window.
  double mean_ = 0;
  double count_ = 0;
  bool closeCommandRemoved_ = false;
};

}  // namespace sorvane::results
