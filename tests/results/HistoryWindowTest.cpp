// The history window, opened from the results window on a real temporary phjz.mdb.
#include "results/HistoryWindow.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QAction>
#include <QFont>
#include <QRegularExpression>

#include "results/HistoryModel.h"

#include "ResultsProgram.h"
#include "store/StoreTestFiles.h"

namespace sorvane::results {
namespace {

// Opens the history of the current record; null when none opened.
std::unique_ptr<HistoryWindow> openHistory(frmPHZ& window) {
  const auto before = window.findChildren<HistoryWindow*>().size();
  window.mnuHistory->trigger();
  const QList<HistoryWindow*> open = window.findChildren<HistoryWindow*>();
  return std::unique_ptr<HistoryWindow>(open.size() > before ? open.last() : nullptr);
}

QStringList rowTexts(const HistoryModel& rows, int row) {
  QStringList texts;
  for (int column = 0; column < rows.columnCount(); ++column)
    texts << rows.index(row, column).data().toString();
  return texts;
}

TEST(HistoryWindowTest, ListsTheCurrentRecordsRowsOnlyMarksWhatChangedAndPrintsThem) {
  store::testfiles::TempDatabase db;
  store::testfiles::seedRecords(db.path(), {{.identifier = u"A"_qs}, {.identifier = u"B"_qs}});
  ResultsProgram program(db.folder());
  frmPHZ& window = *program.window;
  program.next();  // B: its mean changes
  program.type(3, u"7.5"_qs);
  program.save();
  window.Data1->Recordset().moveFirst();  // A: only added

  std::unique_ptr<HistoryWindow> ofA = openHistory(window);
  ASSERT_TRUE(ofA);
  EXPECT_TRUE(ofA->isModal());
  ASSERT_EQ(ofA->rows->rowCount(), 1);
  EXPECT_EQ(rowTexts(*ofA->rows, 0).mid(2, 3), (QStringList{u"添加"_qs, program.boxes()[0], "A"}));
  ofA.reset();

  window.Data1->Recordset().moveNext();
  const std::unique_ptr<HistoryWindow> ofB = openHistory(window);
  ASSERT_TRUE(ofB);
  ASSERT_EQ(ofB->rows->rowCount(), 2);
  QStringList changed = rowTexts(*ofB->rows, 1);
  const QString when = changed.takeFirst();
  EXPECT_TRUE(QRegularExpression(uR"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d$)"_qs)
                  .match(when)
                  .hasMatch())
      << when.toStdString();
  const QString login = QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
  EXPECT_EQ(changed,
            (QStringList{login, u"修改"_qs, program.boxes()[0], "B", "5", u"7.2 → 7.5"_qs}));
  for (int column = 0; column < ofB->rows->columnCount(); ++column)
    EXPECT_EQ(ofB->rows->index(1, column).data(Qt::FontRole).value<QFont>().bold(), column == 6)
        << column;

  ofB->printButton->click();  // as the report prints: heading, column names, the rows
  const QStringList& lines = program.fake.printers.lines;
  ASSERT_EQ(lines.size(), 4);
  EXPECT_TRUE(lines[3].startsWith(when + u'\t' + login + u'\t')) << lines[3].toStdString();
  EXPECT_EQ(program.fake.printers.ended, 1);
  EXPECT_EQ(program.messages(), QStringList());
}

// A new record pending has no history to show: one message, no window.
TEST(HistoryWindowTest, NoCurrentRecordNoWindow) {
  store::testfiles::TempDatabase db;
  store::testfiles::seedRecords(db.path(), {{.identifier = u"A"_qs}});
  ResultsProgram program(db.folder());
  program.window->cmdAdd->click();
  program.messages().clear();
  EXPECT_FALSE(openHistory(*program.window));
  EXPECT_EQ(program.messages(), QStringList{u"没有当前记录。"_qs});
}

}  // namespace
}  // namespace sorvane::results
