// The typical road through the program on a real temporary phjz.mdb: a computation, the
// results window, a saved record, and back.
#include <gtest/gtest.h>

#include <QDate>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include "app/WindowModel.h"
#include "app/pH.h"
#include "fakes/FakePlatform.h"
#include "results/frmPHZ.h"
#include "store/StoreTestFiles.h"
#include "widgets/DataNavigator.h"
#include "widgets/FormsButton.h"

namespace sorvane::app {
namespace {

QString today() { return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat); }

TEST(FilingAResult, FromAComputationToASavedRecordAndBack) {
  store::testfiles::TempDatabase db;
  fakes::FakePlatform fake;
  fake.services.programFolder = db.folder();
  WindowModel windows(fake.services);
  pH& main = windows.mainWindow();
  main.show();
  main.CommandButton3->click();
  results::frmPHZ& results = windows.resultsWindow();
  const auto boxes = [&f = results.txtFields] {
    return QStringList{f[0]->text(), f[1]->text(), f[2]->text(), f[3]->text()};
  };
  results.cmdAdd->click();  // before any computation
  EXPECT_EQ(boxes(), (QStringList{today(), QString(), "0", "8888"}));
  results.cmdRefresh->click();  // the next add would save a pending record
  results.cmdClose->click();

  fake.inputBox.script({"5", "7.1", "7.1", "7.1", "7.1", "7.1"});
  main.Com1->click();
  main.CommandButton3->click();
  results.cmdAdd->click();
  QTest::keyClicks(results.txtFields[1], QStringLiteral("S-01"));
  EXPECT_EQ(boxes(), (QStringList{today(), "S-01", "5", "7.1"}));

  // Only Alt+C leaves the window; the record stays pending for the next visit.
  EXPECT_FALSE(results.close());
  results.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&results));
  QTest::keyClick(&results, Qt::Key_C, Qt::AltModifier);
  // An access key presses its button visibly, so the click arrives a moment later.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !results.isVisible(); }, 2000));
  EXPECT_TRUE(main.isVisible());
  main.CommandButton3->click();
  EXPECT_EQ(&windows.resultsWindow(), &results);
  EXPECT_EQ(results.txtFields[1]->text(), QStringLiteral("S-01"));

  // A date the field refuses is reported and writes nothing; corrected, the record saves.
  const QByteArray empty = store::testfiles::fileBytes(db.path());
  results.txtFields[0]->setText(QStringLiteral("下周二"));
  results.cmdUpdate->click();
  EXPECT_EQ(store::testfiles::fileBytes(db.path()), empty);
  results.txtFields[0]->setText(today());
  results.cmdUpdate->click();
  EXPECT_EQ(store::testfiles::storedTexts(db.path(), QStringLiteral("pH均值")), QStringList{"7.1"});
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：1"));
  EXPECT_EQ(fake.messageBox.messages.size(), 3);  // two prompts and the refused date

  // With the last record deleted none is current: deleting or saving again is refused.
  results.cmdDelete->click();
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_TRUE(store::testfiles::storedTexts(db.path(), QStringLiteral("标识符")).isEmpty());
  const QByteArray before = store::testfiles::fileBytes(db.path());
  results.cmdDelete->click();
  results.cmdUpdate->click();
  EXPECT_EQ(fake.messageBox.messages.size(), 5);
  EXPECT_EQ(store::testfiles::fileBytes(db.path()), before);
}

}  // namespace
}  // namespace sorvane::app
