#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "platform/Services.h"
#include "store/History.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace sorvane::results {

// The change history of one record, read-only, oldest first: when, who, what, and each
// field's value, a changed one shown as "before → after" and highlighted. 打印 prints the
// list on the default printer, paged like the report.
class HistoryWindow : public QDialog {
  Q_OBJECT

 public:
  // `record` names the record for the user, as the heading and the printout show it.
  HistoryWindow(platform::Services& services, const QString& record,
                std::vector<store::HistoryEntry> entries, QWidget* parent = nullptr);

  void cmdPrint_Click();

  // The printout: the heading, a line of column names, then one TAB-separated line per row.
  QStringList printedLines() const;

  // The text shown for an action, and for one field of a row (with whether it changed).
  static QString actionText(store::HistoryAction action);
  static QString cellText(const store::HistoryEntry& entry, int field, bool* changed = nullptr);

  QLabel* heading;
  QTableWidget* list;
  QPushButton* cmdPrint;
  QPushButton* cmdClose;

 private:
  platform::Services& services_;
  QString record_;
  std::vector<store::HistoryEntry> entries_;
};

}  // namespace sorvane::results
