// The results window on a real temporary phjz.mdb.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "ResultsProgram.h"
#include "store/StoreTestFiles.h"

namespace sorvane::results {
namespace {

using platform::PointerShape;

TEST(frmPHZTest, WithoutAFileEachButtonGivesOneMessageAndKeepsTheBoxes) {
  store::testfiles::TempDatabase db;
  for (QPushButton* frmPHZ::*button :
       {&frmPHZ::cmdAdd, &frmPHZ::cmdDelete, &frmPHZ::cmdUpdate, &frmPHZ::cmdRefresh}) {
    ResultsProgram program(db.folder() + QStringLiteral("/gone"));
    // The failed opening comes through the navigator's Error, whose own message is silenced.
    ASSERT_EQ(program.messages().size(), 1);
    EXPECT_TRUE(program.messages()[0].startsWith(QStringLiteral("数据错误事件命中错误：")));
    program.type(1, QStringLiteral("typed"));
    ((*program.window).*button)->click();
    EXPECT_EQ(program.messages().size(), 2);
    EXPECT_EQ(program.boxes()[1], QStringLiteral("typed"));
    EXPECT_EQ(program.fake.programEnd.ends, 0);
  }
}

// Opens fixed and centred with the navigator along the bottom and the date focused; a move
// shows the hourglass until the next record is shown; 关闭 shows the main window before it
// hides this one, so there is never a moment without a window on screen.
TEST(frmPHZTest, OpensMovesAndClosesBackToTheMainWindow) {
  store::testfiles::TempDatabase db;
  store::testfiles::seedRecords(db.path(), {{.identifier = "A"}, {.identifier = "B"}});
  ResultsProgram program(db.folder());
  frmPHZ& window = *program.window;
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
  EXPECT_LE((window.frameGeometry().center() - screenCentre).manhattanLength(), 6);
  EXPECT_EQ(window.Data1->geometry().bottomRight(), window.rect().bottomRight());
  EXPECT_EQ(window.Data1->width(), window.width());
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(QApplication::focusWidget(), window.txtFields[store::phb::Date]);

  program.fake.pointer.screenHistory.clear();
  program.next();
  EXPECT_EQ(window.Data1->Caption(), QStringLiteral("记录：2"));
  EXPECT_EQ(program.fake.pointer.screenHistory,
            (std::vector<PointerShape>{PointerShape::Hourglass, PointerShape::Default}));

  bool shownWhileUp = false;
  program.main.onShow = [&] { shownWhileUp = window.isVisible(); };
  window.cmdClose->click();
  EXPECT_TRUE(shownWhileUp);
  EXPECT_TRUE(window.isHidden());
}

using platform::PointerShape;

// Stored records print; the record the window is still editing, changed or new, does not,
// and the window keeps it as it was. A file gone since the window opened ends in one
// message, not the program's end. The window's pointer is the hourglass only meanwhile.
TEST(frmPHZTest, PrintButtonPrintsWhatIsStoredAndLeavesTheWindowsRecordAlone) {
  enum Edit { ChangedIdentifier, NewRecord, FileRemoved };
  for (const Edit edit : {ChangedIdentifier, NewRecord, FileRemoved}) {
    SCOPED_TRACE(int(edit));
    store::testfiles::TempDatabase db;
    store::testfiles::seedRecords(db.path(), {{.identifier = "A"}, {.identifier = "B"}});
    ResultsProgram program(db.folder());
    frmPHZ& window = *program.window;
    if (edit == ChangedIdentifier) program.type(1, u"x"_qs);
    if (edit == NewRecord) {
      window.cmdAdd->click();
      QTest::keyClicks(window.txtFields[1], u"NEW"_qs);
    }
    if (edit == FileRemoved) QFile::remove(db.path());
    program.messages().clear();  // adding a record says something of its own
    program.fake.pointer.windowHistory.clear();
    program.fake.pointer.screenHistory.clear();
    const auto state = [&] {
      return program.boxes() << QString::number(window.Data1->Recordset().absolutePosition())
                             << QString::number(int(window.Data1->Recordset().editMode()))
                             << QString::fromLatin1(
                                    store::testfiles::fileBytes(db.path()).toBase64());
    };
    const QStringList before = state();

    window.prn->click();

    const QStringList stored{u"2024\tA\t5\t 7.20"_qs, u"2024\tB\t5\t 7.20"_qs};
    EXPECT_EQ(program.fake.printers.lines, edit == FileRemoved ? QStringList() : stored);
    EXPECT_EQ(program.messages().size(), edit == FileRemoved ? 1 : 0);
    EXPECT_EQ(state(), before);
    EXPECT_EQ(program.fake.pointer.windowHistory,
              (std::vector<PointerShape>{PointerShape::Hourglass, PointerShape::Default}));
    EXPECT_TRUE(program.fake.pointer.screenHistory.empty());
    EXPECT_EQ(program.fake.programEnd.ends, 0);
  }
}

}  // namespace
}  // namespace sorvane::results
