// The results window against a real temporary phjz.mdb: its handlers, the faults a user can
// reach with its buttons, and the road from a computation to a saved record.
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

using platform::PointerShape;
using testfiles::fileBytes;
using testfiles::seedRecords;
using testfiles::storedTexts;

const QString kPrefix = QStringLiteral("数据错误事件命中错误：");
const QString kId = QStringLiteral("标识符");

QString today() { return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat); }

QStringList boxTexts(const frmPHZ& window) {
  QStringList texts;
  for (const QLineEdit* box : window.txtFields) texts.append(box->text());
  return texts;
}

class frmPHZTest : public ::testing::Test {
 protected:
  frmPHZ& open(std::initializer_list<QString> identifiers) {
    seedRecords(db.path(), identifiers);
    platform.services.programFolder = db.folder();
    window = std::make_unique<frmPHZ>(platform.services, main);
    window->show();
    return *window;
  }
  const QStringList& messages() const { return platform.messageBox.messages; }

  testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  testfiles::FakeMainWindow main;
  std::unique_ptr<frmPHZ> window;
};

TEST_F(frmPHZTest, AddFillsANewRecordFromTheMainWindowAndWritesNothing) {
  struct Case {
    QString result, heading, count, mean;
  };
  const Case cases[] = {
      {"8888", "Label1", "0", "8888"},  // before any computation
      {"7.10", " 5 个 pH 值的均值如下：", "5", "7.1"},
      {"7.26", " 12 个 pH 值的均值如下：", "12", "7.26"},
  };
  open({QStringLiteral("A")});
  const QByteArray before = fileBytes(db.path());
  for (const Case& c : cases) {
    window->cmdRefresh->click();  // drops the record the last case left pending
    platform.messageBox.messages.clear();
    main.result = c.result;
    main.heading = c.heading;
    window->cmdAdd->click();
    EXPECT_EQ(boxTexts(*window), (QStringList{today(), QString(), c.count, c.mean}));
    EXPECT_EQ(messages(), QStringList{QStringLiteral("请输入标识名称后按保存！")});
  }
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
}

// Without a record to work on, each button gives one message, ends nothing and keeps the
// boxes; a file that cannot be opened is reported once, through the navigator's Error.
TEST_F(frmPHZTest, OperationsWithoutARecordGiveOneMessageEach) {
  struct Case {
    bool fileMissing;
    QPushButton* frmPHZ::*button;
  };
  const Case cases[] = {{false, &frmPHZ::cmdDelete}, {false, &frmPHZ::cmdUpdate},
                        {true, &frmPHZ::cmdAdd},     {true, &frmPHZ::cmdDelete},
                        {true, &frmPHZ::cmdUpdate},  {true, &frmPHZ::cmdRefresh}};
  for (const Case& c : cases) {
    testfiles::TempDatabase fresh;
    fakes::FakePlatform own;
    own.services.programFolder = fresh.folder() + (c.fileMissing ? "/gone" : "");
    frmPHZ w(own.services, main);
    w.show();
    const int opening = c.fileMissing ? 1 : 0;
    ASSERT_EQ(own.messageBox.messages.size(), opening);
    if (c.fileMissing) EXPECT_TRUE(own.messageBox.messages.first().startsWith(kPrefix));
    w.txtFields[1]->setText(QStringLiteral("typed"));
    const QByteArray before = fileBytes(fresh.path());
    (w.*c.button)->click();
    EXPECT_EQ(own.messageBox.messages.size(), opening + 1);
    EXPECT_EQ(w.txtFields[1]->text(), QStringLiteral("typed"));
    EXPECT_EQ(fileBytes(fresh.path()), before);
    EXPECT_EQ(own.programEnd.ends, 0);
    EXPECT_EQ(own.pointer.screen, PointerShape::Default);
  }
}

TEST_F(frmPHZTest, ARefusedDateKeepsThePendingRecordForCorrection) {
  open({QStringLiteral("A")});
  window->cmdAdd->click();
  window->txtFields[0]->setText(QStringLiteral("下周二"));
  QTest::keyClicks(window->txtFields[1], QStringLiteral("W1"));
  const QByteArray before = fileBytes(db.path());
  window->cmdUpdate->click();
  EXPECT_EQ(messages().size(), 2);
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_EQ(window->txtFields[0]->text(), QStringLiteral("下周二"));

  window->txtFields[0]->setText(today());
  window->cmdUpdate->click();
  EXPECT_EQ(messages().size(), 2);
  EXPECT_EQ(storedTexts(db.path(), kId), (QStringList{QStringLiteral("A"), QStringLiteral("W1")}));
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：2"));
}

TEST_F(frmPHZTest, HidingKeepsThePendingRecordAndOnlyAltCCloses) {
  open({QStringLiteral("A")});
  window->cmdAdd->click();
  QTest::keyClicks(window->txtFields[1], QStringLiteral("1234567890123"));
  EXPECT_EQ(window->txtFields[1]->text(), QStringLiteral("123456789012"));
  const QStringList pending = boxTexts(*window);

  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
  // An access key presses its button visibly, so the click arrives a moment later.
  EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 2000));
  EXPECT_EQ(main.shown, 1);

  window->show();
  EXPECT_EQ(boxTexts(*window), pending);
  EXPECT_EQ(window->Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_EQ(storedTexts(db.path(), kId), QStringList{QStringLiteral("A")});
}

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

  main.CommandButton3->click();
  frmPHZ& results = windows.resultsWindow();
  EXPECT_TRUE(results.isVisible());
  EXPECT_FALSE(main.isVisible());
  EXPECT_FALSE(results.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(results.focusWidget(), results.txtFields[0]);

  results.cmdAdd->click();
  QTest::keyClicks(results.txtFields[1], QStringLiteral("S-01"));
  results.cmdUpdate->click();
  EXPECT_EQ(storedTexts(db.path(), QStringLiteral("pH均值")), QStringList{QStringLiteral("7.1")});
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：1"));
  EXPECT_EQ(boxTexts(results), (QStringList{today(), QStringLiteral("S-01"), QStringLiteral("5"),
                                            QStringLiteral("7.1")}));

  results.cmdClose->click();
  EXPECT_TRUE(main.isVisible());
  main.CommandButton3->click();
  EXPECT_EQ(&windows.resultsWindow(), &results);
  EXPECT_EQ(results.txtFields[1]->text(), QStringLiteral("S-01"));
  EXPECT_EQ(platform.messageBox.messages, QStringList{QStringLiteral("请输入标识名称后按保存！")});

  // Deleting the last record leaves none current; deleting again is refused with a message.
  results.cmdDelete->click();
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_TRUE(storedTexts(db.path(), kId).isEmpty());
  const QByteArray before = fileBytes(db.path());
  results.cmdDelete->click();
  EXPECT_EQ(platform.messageBox.messages.size(), 2);
  EXPECT_EQ(fileBytes(db.path()), before);
  EXPECT_EQ(platform.programEnd.ends, 0);
}

}  // namespace
}  // namespace sorvane::results
