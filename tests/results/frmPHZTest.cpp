// The results window on a real temporary phjz.mdb: the road to a saved record, and its faults.
#include <gtest/gtest.h>

#include <QDate>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include "app/WindowModel.h"
#include "app/pH.h"
#include "fakes/FakePlatform.h"
#include "platform/FormsButton.h"
#include "results/DataNavigator.h"
#include "results/StoreTestFiles.h"
#include "results/WindowTestSupport.h"
#include "results/frmPHZ.h"

namespace sorvane::results {
namespace {

QString today() { return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat); }

TEST(frmPHZTest, WithoutAFileEachButtonGivesOneMessageAndKeepsTheBoxes) {
  for (QPushButton* frmPHZ::*button :
       {&frmPHZ::cmdAdd, &frmPHZ::cmdDelete, &frmPHZ::cmdUpdate, &frmPHZ::cmdRefresh}) {
    testfiles::TempDatabase db;
    fakes::FakePlatform fake;
    testfiles::FakeMainWindow main;
    fake.services.programFolder = db.folder() + QStringLiteral("/gone");
    frmPHZ window(fake.services, main);
    window.show();
    const QStringList& messages = fake.messageBox.messages;
    // The failed opening comes through the navigator's Error, whose own message is silenced.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith(QStringLiteral("数据错误事件命中错误：")));
    window.txtFields[1]->setText(QStringLiteral("typed"));
    (window.*button)->click();
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(window.txtFields[1]->text(), QStringLiteral("typed"));
    EXPECT_EQ(fake.programEnd.ends, 0);
  }
}

TEST(frmPHZTest, FromAComputationToASavedRecordAndBack) {
  testfiles::TempDatabase db;
  fakes::FakePlatform fake;
  fake.services.programFolder = db.folder();
  app::WindowModel windows(fake.services);
  app::pH& main = windows.mainWindow();
  main.show();
  main.CommandButton3->click();
  frmPHZ& results = windows.resultsWindow();
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
  const QByteArray empty = testfiles::fileBytes(db.path());
  results.txtFields[0]->setText(QStringLiteral("下周二"));
  results.cmdUpdate->click();
  EXPECT_EQ(testfiles::fileBytes(db.path()), empty);
  results.txtFields[0]->setText(today());
  results.cmdUpdate->click();
  EXPECT_EQ(testfiles::storedTexts(db.path(), QStringLiteral("pH均值")), QStringList{"7.1"});
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：1"));
  EXPECT_EQ(fake.messageBox.messages.size(), 3);  // two prompts and the refused date

  // With the last record deleted none is current: deleting or saving again is refused.
  results.cmdDelete->click();
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_TRUE(testfiles::storedTexts(db.path(), QStringLiteral("标识符")).isEmpty());
  const QByteArray before = testfiles::fileBytes(db.path());
  results.cmdDelete->click();
  results.cmdUpdate->click();
  EXPECT_EQ(fake.messageBox.messages.size(), 5);
  EXPECT_EQ(testfiles::fileBytes(db.path()), before);
}

}  // namespace
}  // namespace sorvane::results
