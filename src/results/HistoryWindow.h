#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "platform/Services.h"
#include "store/History.h"

class QLabel;
class QPushButton;
class QTableView;

namespace sorvane::results {

class HistoryModel;

// The change history of one record, read-only, oldest first: when, who, what, and each
// field's value, a changed one shown as "before → after" and highlighted. 打印 prints the
// list on the default printer, paged like the report.
class HistoryWindow : public QDialog {
  Q_OBJECT

 public:
  // `record` names the record for the user, as the heading and the printout show it.
  HistoryWindow(platform::Services& services, const QString& record,
                std::vector<store::HistoryEntry> entries, QWidget* parent = nullptr);

  // Prints the list on the default printer; a printer that fails says so in a message.
  void print();

  // The printout: the heading, a line of column names, then one TAB-separated line per row.
  QStringList printedLines() const;

  QLabel* heading;
  HistoryModel* rows;
  QTableView* list;
  QPushButton* printButton;
  QPushButton* closeButton;

 private:
  platform::Services& services_;
};

}  // namespace sorvane::results
