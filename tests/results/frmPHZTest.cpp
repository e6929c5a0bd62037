// The results window on a real temporary phjz.mdb.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "FakeMainWindow.h"
#include "fakes/FakePlatform.h"
#include "results/frmPHZ.h"
#include "store/SqliteConnection.h"
#include "store/StoreTestFiles.h"
#include "widgets/DataNavigator.h"
#include "widgets/FormsButton.h"
#include "widgets/Twips.h"

namespace sorvane::results {
namespace {

TEST(frmPHZTest, WithoutAFileEachButtonGivesOneMessageAndKeepsTheBoxes) {
  for (QPushButton* frmPHZ::*button :
       {&frmPHZ::cmdAdd, &frmPHZ::cmdDelete, &frmPHZ::cmdUpdate, &frmPHZ::cmdRefresh}) {
    store::testfiles::TempDatabase db;
    fakes::FakePlatform fake;
    FakeMainWindow main;
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

namespace phb = store::phb;
using platform::PointerShape;

// The window over a file with two records, shown as the results button shows it.
class frmPHZWindow : public testing::Test {
 protected:
  frmPHZWindow() : window((fake.services.programFolder = db.folder(), fake.services), main) {
    store::testfiles::seedRecords(db.path(), {{.identifier = "A"}, {.identifier = "B"}});
    window.show();
    fake.messageBox.messages.clear();
    fake.pointer.screenHistory.clear();
  }

  store::testfiles::TempDatabase db;
  fakes::FakePlatform fake;
  FakeMainWindow main;
  frmPHZ window;
};

TEST_F(frmPHZWindow, OpensFixedAndCentredWithTheNavigatorAlongTheBottomAndFocusOnTheDate) {
  const QSize design = widgets::twipsSize(5520, 1995);
  EXPECT_EQ(window.minimumSize(), design);
  EXPECT_EQ(window.maximumSize(), design);
  const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
  EXPECT_LE((window.frameGeometry().center() - screenCentre).manhattanLength(), 6);
  EXPECT_EQ(window.Data1->geometry(), QRect(0, design.height() - window.Data1->height(),
                                            design.width(), widgets::twipsToPixels(345)));
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(QApplication::focusWidget(), window.txtFields[phb::Date]);
}

TEST_F(frmPHZWindow, TheIdentifierBoxTakesTwelveCharacters) {
  window.cmdAdd->click();
  QTest::keyClicks(window.txtFields[phb::Identifier], QStringLiteral("ABCDEFGHIJKLMN"));
  EXPECT_EQ(window.txtFields[phb::Identifier]->text(), QStringLiteral("ABCDEFGHIJKL"));
}

TEST_F(frmPHZWindow, CloseShowsTheMainWindowBeforeHidingThisOne) {
  bool shownWhileUp = false;
  main.onShow = [&] { shownWhileUp = window.isVisible(); };
  window.cmdClose->click();
  EXPECT_TRUE(shownWhileUp);  // never a moment without a window on screen
  EXPECT_TRUE(window.isHidden());
}

TEST_F(frmPHZWindow, AMoveShowsTheHourglassUntilTheNextRecordIsShown) {
  window.Data1->findChild<QToolButton*>(QStringLiteral("next"))->click();
  EXPECT_EQ(window.Data1->Caption(), QStringLiteral("记录：2"));
  EXPECT_EQ(fake.pointer.screenHistory,
            (std::vector<PointerShape>{PointerShape::Hourglass, PointerShape::Default}));
}

}  // namespace
}  // namespace sorvane::results
