// The history window, opened from the results window on a real temporary phjz.mdb.
#include "results/HistoryWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeZone>

#include "FakeMainWindow.h"
#include "fakes/FakePlatform.h"
#include "results/frmPHZ.h"
#include "store/StoreTestFiles.h"
#include "widgets/DataNavigator.h"

namespace sorvane::results {
namespace {

using store::HistoryLog;

class HistoryWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = HistoryLog::setSources(
        {[] { return u"lab-tech"_qs; },
         [] { return QDateTime(QDate(2024, 5, 6), QTime(14, 3, 12), QTimeZone(8 * 3600)); }});
    store::testfiles::seedRecords(db.path(), {{.identifier = u"A"_qs}, {.identifier = u"B"_qs}});
    platform.services.programFolder = db.folder();
    window = std::make_unique<frmPHZ>(platform.services, main);
    window->show();
  }
  void TearDown() override { HistoryLog::setSources(previous_); }

  // Opens the history of the current record; null when none opened.
  std::unique_ptr<HistoryWindow> openHistory() {
    const auto before = window->findChildren<HistoryWindow*>().size();
    window->mnuHistory->trigger();
    const QList<HistoryWindow*> open = window->findChildren<HistoryWindow*>();
    return std::unique_ptr<HistoryWindow>(open.size() > before ? open.last() : nullptr);
  }

  static QStringList rowTexts(const QTableWidget& list, int row) {
    QStringList texts;
    for (int column = 0; column < list.columnCount(); ++column)
      texts << list.item(row, column)->text();
    return texts;
  }

  store::testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  FakeMainWindow main;
  std::unique_ptr<frmPHZ> window;

 private:
  store::HistorySources previous_;
};

TEST_F(HistoryWindowTest, ListsTheCurrentRecordsRowsOnlyAndMarksWhatChanged) {
  window->Data1->Recordset().moveNext();  // B: its mean changes
  window->txtFields[3]->setText(u"7.5"_qs);
  window->cmdUpdate->click();
  window->Data1->Recordset().moveFirst();  // A: only added

  std::unique_ptr<HistoryWindow> ofA = openHistory();
  ASSERT_TRUE(ofA);
  EXPECT_TRUE(ofA->isModal());
  ASSERT_EQ(ofA->list->rowCount(), 1);
  EXPECT_EQ(rowTexts(*ofA->list, 0)[2], u"添加"_qs);
  EXPECT_EQ(rowTexts(*ofA->list, 0)[4], u"A"_qs);
  ofA.reset();

  window->Data1->Recordset().moveNext();
  const std::unique_ptr<HistoryWindow> ofB = openHistory();
  ASSERT_TRUE(ofB);
  ASSERT_EQ(ofB->list->rowCount(), 2);
  const QString date = window->txtFields[0]->text();
  EXPECT_EQ(rowTexts(*ofB->list, 1),
            (QStringList{u"2024-05-06 14:03:12 +08:00"_qs, u"lab-tech"_qs, u"修改"_qs, date,
                         u"B"_qs, u"5"_qs, u"7.2 → 7.5"_qs}));
  for (int column = 0; column < ofB->list->columnCount(); ++column)
    EXPECT_EQ(ofB->list->item(1, column)->font().bold(), column == 6) << column;
  EXPECT_EQ(platform.messageBox.messages, QStringList());
}

// The list prints as the report does; a missing printer is one message, not the end.
TEST_F(HistoryWindowTest, PrintsItsListOnTheDefaultPrinter) {
  for (const bool noPrinter : {false, true}) {
    platform.printers.noPrinter = noPrinter;
    platform.printers.lines.clear();
    platform.messageBox.messages.clear();
    const std::unique_ptr<HistoryWindow> history = openHistory();
    ASSERT_TRUE(history);
    history->cmdPrint->click();
    if (noPrinter) {
      EXPECT_EQ(platform.messageBox.messages.size(), 1);
      EXPECT_TRUE(platform.printers.lines.isEmpty());
    } else {
      EXPECT_EQ(platform.printers.lines, history->printedLines());
      EXPECT_EQ(platform.printers.lines.size(), 3);  // heading, column names, one row
      EXPECT_TRUE(
          platform.printers.lines[2].startsWith(u"2024-05-06 14:03:12 +08:00\tlab-tech"_qs));
      EXPECT_EQ(platform.printers.ended, 1);
    }
    EXPECT_EQ(platform.programEnd.ends, 0);
  }
}

// Without a stored current record (a new one pending, or after a delete) there is no
// history to show: one message, no window->
TEST_F(HistoryWindowTest, NoCurrentRecordNoWindow) {
  for (QPushButton* frmPHZ::*button : {&frmPHZ::cmdAdd, &frmPHZ::cmdDelete}) {
    window->Data1->Recordset().moveFirst();
    platform.messageBox.messages.clear();
    if (button == &frmPHZ::cmdDelete) {
      window->Data1->Recordset().moveLast();
      window->Data1->Recordset().deleteCurrent();  // no current record until the next move
    } else {
      ((*window).*button)->click();
    }
    platform.messageBox.messages.clear();
    EXPECT_FALSE(openHistory());
    EXPECT_EQ(platform.messageBox.messages, QStringList{u"没有当前记录。"_qs});
  }
}

}  // namespace
}  // namespace sorvane::results
