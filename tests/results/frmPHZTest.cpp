// The results window: its handlers against a real temporary phjz.mdb, the faults a user
// can reach with its buttons, and the road from a computation to a saved record.
#include <gtest/gtest.h>

#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

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

using platform::PointerShape;
using testfiles::fileBytes;
using testfiles::seedRecords;
using testfiles::storedTexts;

const QString kPrefix = QStringLiteral("数据错误事件命中错误：");
const QString kId = QStringLiteral("标识符");

QString today() { return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat); }

class frmPHZTest : public ::testing::Test {
 protected:
  // Seeds the file, then creates the window on it and shows it.
  frmPHZ& open(std::initializer_list<QString> identifiers) {
    seedRecords(db.path(), identifiers);
    return showWindow();
  }
  frmPHZ& showWindow() {
    platform.services.programFolder = db.folder();
    window = std::make_unique<frmPHZ>(platform.services, main);
    window->show();
    return *window;
  }
  QStringList messages() const { return platform.messageBox.messages; }
  QStringList fieldTexts() const {
    QStringList texts;
    for (const QLineEdit* box : window->txtFields) texts.append(box->text());
    return texts;
  }

  testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  testfiles::FakeMainWindow main;
  std::unique_ptr<frmPHZ> window;
};

TEST_F(frmPHZTest, FirstShowingLoadsThenOpensOnTheFirstRecordWithFocusOnTheDateBox) {
  seedRecords(db.path(), {QStringLiteral("A"), QStringLiteral("B")});
  platform.services.programFolder = db.folder();
  window = std::make_unique<frmPHZ>(platform.services, main);
  // Loaded: no close command, and the record source waits for the first showing.
  EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(window->Data1->isOpen());
  EXPECT_TRUE(window->Data1->Caption().isEmpty());

  window->show();
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：1"));
  EXPECT_EQ(fieldTexts(),
            (QStringList{QLocale().toString(QDate(2024, 5, 1), QLocale::ShortFormat),
                         QStringLiteral("A"), QStringLiteral("5"), QStringLiteral("7.2")}));
  EXPECT_EQ(window->focusWidget(), window->txtFields[0]);
  EXPECT_TRUE(messages().isEmpty());
}

TEST_F(frmPHZTest, AddFillsTheNewRecordFromTheMainWindow) {
  struct Case {
    QString result;
    QString heading;
    QString count;
    QString mean;
  };
  const Case cases[] = {
      {QStringLiteral("8888"), QStringLiteral("Label1"), QStringLiteral("0"),
       QStringLiteral("8888")},
      {QStringLiteral("7.10"), QStringLiteral(" 5 个 pH 值的均值如下："), QStringLiteral("5"),
       QStringLiteral("7.1")},
      {QStringLiteral("7.26"), QStringLiteral(" 12 个 pH 值的均值如下："), QStringLiteral("12"),
       QStringLiteral("7.26")},
  };
  open({QStringLiteral("A")});
  const QByteArray before = fileBytes(db.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading.toStdString());
    window->cmdRefresh->click();  // drops the record the last case left pending
    platform.messageBox.messages.clear();
    main.result = c.result;
    main.heading = c.heading;
    window->cmdAdd->click();
    EXPECT_EQ(fieldTexts(), (QStringList{today(), QString(), c.count, c.mean}));
    EXPECT_EQ(messages(), QStringList{QStringLiteral("请输入标识名称后按保存！")});
    EXPECT_EQ(window->Data1->Recordset().editMode(), RecordSet::EditMode::Add);
  }
  EXPECT_EQ(fileBytes(db.path()), before);  // adding alone writes nothing
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
}

TEST_F(frmPHZTest, SaveStoresTheNewRecordAndKeepsItCurrent) {
  open({QStringLiteral("A"), QStringLiteral("B")});
  main.result = QStringLiteral("7.1");
  main.heading = QStringLiteral(" 5 个 pH 值的均值如下：");
  window->cmdAdd->click();
  window->txtFields[1]->insert(QStringLiteral("河水一号"));
  window->cmdUpdate->click();

  EXPECT_EQ(storedTexts(db.path(), kId),
            (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("河水一号")}));
  EXPECT_EQ(storedTexts(db.path(), QStringLiteral("pH均值")).value(2), QStringLiteral("7.1"));
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：3"));
  EXPECT_EQ(fieldTexts(), (QStringList{today(), QStringLiteral("河水一号"), QStringLiteral("5"),
                                       QStringLiteral("7.1")}));
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
}

TEST_F(frmPHZTest, DeletingPastTheLastRecordGivesOneMessageAndLeavesTheFileAlone) {
  open({QStringLiteral("A")});
  window->cmdDelete->click();
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_TRUE(storedTexts(db.path(), kId).isEmpty());
  EXPECT_TRUE(messages().isEmpty());

  const QByteArray before = fileBytes(db.path());
  window->cmdDelete->click();
  EXPECT_EQ(messages().size(), 1);
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_EQ(platform.programEnd.ends, 0);
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
}

// Record operations a user can reach without a record to work on, each with one message,
// no end of the program, and the boxes as they were.
TEST_F(frmPHZTest, OperationsWithoutARecordGiveOneMessageEach) {
  struct Case {
    const char* name;
    bool fileMissing;
    QPushButton* frmPHZ::*button;
    int messagesBefore;  // from opening
  };
  const Case cases[] = {
      {"delete on an empty table", false, &frmPHZ::cmdDelete, 0},
      {"save on an empty table", false, &frmPHZ::cmdUpdate, 0},
      {"add without a record set", true, &frmPHZ::cmdAdd, 1},
      {"delete without a record set", true, &frmPHZ::cmdDelete, 1},
      {"save without a record set", true, &frmPHZ::cmdUpdate, 1},
      {"refresh without a file", true, &frmPHZ::cmdRefresh, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testfiles::TempDatabase fresh;
    fakes::FakePlatform own;
    own.services.programFolder =
        c.fileMissing ? fresh.folder() + QStringLiteral("/gone") : fresh.folder();
    frmPHZ w(own.services, main);
    w.show();
    ASSERT_EQ(own.messageBox.messages.size(), c.messagesBefore);
    w.txtFields[1]->setText(QStringLiteral("typed"));
    const QByteArray before = fileBytes(fresh.path());

    (w.*c.button)->click();
    EXPECT_EQ(own.messageBox.messages.size(), c.messagesBefore + 1);
    EXPECT_EQ(w.txtFields[1]->text(), QStringLiteral("typed"));
    EXPECT_EQ(fileBytes(fresh.path()), before);
    EXPECT_EQ(own.programEnd.ends, 0);
    EXPECT_EQ(own.pointer.screen, PointerShape::Default);
  }
}

TEST_F(frmPHZTest, ARefusedValueKeepsThePendingRecordForCorrection) {
  open({QStringLiteral("A")});
  window->cmdAdd->click();
  platform.messageBox.messages.clear();
  window->txtFields[0]->setText(QStringLiteral("下周二"));
  QTest::keyClicks(window->txtFields[1], QStringLiteral("W1"));
  const QByteArray before = fileBytes(db.path());

  window->cmdUpdate->click();
  ASSERT_EQ(messages().size(), 1);
  EXPECT_FALSE(messages().first().startsWith(kPrefix));
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_EQ(window->txtFields[0]->text(), QStringLiteral("下周二"));
  EXPECT_EQ(window->Data1->Recordset().editMode(), RecordSet::EditMode::Add);

  window->txtFields[0]->setText(today());
  window->cmdUpdate->click();
  EXPECT_EQ(messages().size(), 1);
  EXPECT_EQ(storedTexts(db.path(), kId), (QStringList{QStringLiteral("A"), QStringLiteral("W1")}));
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：2"));
}

TEST_F(frmPHZTest, NavigatorErrorsShowExactlyOnePrefixedMessage) {
  // Opening a missing file, and saving a refused edit when moving off it.
  {
    fakes::FakePlatform own;
    own.services.programFolder = db.folder() + QStringLiteral("/gone");
    frmPHZ w(own.services, main);
    w.show();
    ASSERT_EQ(own.messageBox.messages.size(), 1);
    EXPECT_TRUE(own.messageBox.messages.first().startsWith(kPrefix));
    EXPECT_GT(own.messageBox.messages.first().size(), kPrefix.size());
    EXPECT_FALSE(w.isHidden());
  }
  open({QStringLiteral("A"), QStringLiteral("B")});
  window->txtFields[2]->setText(QStringLiteral("five"));
  const QByteArray before = fileBytes(db.path());
  window->Data1->findChild<QToolButton*>(QStringLiteral("next"))->click();
  ASSERT_EQ(messages().size(), 1);
  EXPECT_TRUE(messages().first().startsWith(kPrefix));
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：1"));
  EXPECT_EQ(window->txtFields[2]->text(), QStringLiteral("five"));
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
}

TEST_F(frmPHZTest, MovingOffAnEditedRecordSavesIt) {
  open({QStringLiteral("A"), QStringLiteral("B")});
  window->txtFields[1]->clear();
  window->txtFields[1]->insert(QStringLiteral("A-改"));
  window->Data1->findChild<QToolButton*>(QStringLiteral("next"))->click();
  EXPECT_EQ(storedTexts(db.path(), kId),
            (QStringList{QStringLiteral("A-改"), QStringLiteral("B")}));
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：2"));
  EXPECT_EQ(window->txtFields[1]->text(), QStringLiteral("B"));
}

TEST_F(frmPHZTest, HidingKeepsThePendingRecordAndACloseRequestDoesNothing) {
  open({QStringLiteral("A")});
  window->cmdAdd->click();
  QTest::keyClicks(window->txtFields[1], QStringLiteral("1234567890123"));
  EXPECT_EQ(window->txtFields[1]->text(), QStringLiteral("123456789012"));
  const QStringList pending = fieldTexts();

  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());

  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
  // An access key presses its button visibly, so the click arrives a moment later.
  EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 2000));
  EXPECT_EQ(main.shown, 1);

  window->show();
  EXPECT_EQ(fieldTexts(), pending);
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_EQ(window->Data1->Recordset().editMode(), RecordSet::EditMode::Add);
  EXPECT_EQ(storedTexts(db.path(), kId), QStringList{QStringLiteral("A")});
}

// The whole road through the window model: compute, "保存/查看", add, type, save, close.
TEST(frmPHZRoad, FromAComputationToASavedRecordAndBack) {
  testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  platform.services.programFolder = db.folder();
  app::WindowModel windows(platform.services);
  app::pH& main = windows.mainWindow();
  main.show();
  platform.inputBox.script({QStringLiteral("5"), QStringLiteral("7.1"), QStringLiteral("7.1"),
                            QStringLiteral("7.1"), QStringLiteral("7.1"), QStringLiteral("7.1")});
  main.Com1->click();
  ASSERT_EQ(main.Tx1->text(), QStringLiteral("7.1"));

  main.CommandButton3->click();
  ASSERT_TRUE(windows.isResultsWindowLoaded());
  frmPHZ& results = windows.resultsWindow();
  EXPECT_TRUE(results.isVisible());
  EXPECT_FALSE(main.isVisible());

  results.cmdAdd->click();
  EXPECT_EQ(results.txtFields[2]->text(), QStringLiteral("5"));
  EXPECT_EQ(results.txtFields[3]->text(), QStringLiteral("7.1"));
  QTest::keyClicks(results.txtFields[1], QStringLiteral("S-01"));
  results.cmdUpdate->click();
  EXPECT_EQ(storedTexts(db.path(), kId), QStringList{QStringLiteral("S-01")});
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：1"));

  results.cmdClose->click();
  EXPECT_TRUE(main.isVisible());
  EXPECT_FALSE(results.isVisible());
  main.CommandButton3->click();
  EXPECT_EQ(&windows.resultsWindow(), &results);
  EXPECT_EQ(results.txtFields[1]->text(), QStringLiteral("S-01"));
  EXPECT_EQ(platform.messageBox.messages, QStringList{QStringLiteral("请输入标识名称后按保存！")});
  EXPECT_EQ(platform.programEnd.ends, 0);
}

}  // namespace
}  // namespace sorvane::results
