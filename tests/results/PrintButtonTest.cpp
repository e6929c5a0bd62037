// The results window's print button: what it prints, what it leaves alone, and the pointer.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "fakes/FakePlatform.h"
#include "platform/FormsButton.h"
#include "results/DataNavigator.h"
#include "results/StoreTestFiles.h"
#include "results/WindowTestSupport.h"
#include "results/frmPHZ.h"

namespace sorvane::results {
namespace {

using platform::PointerShape;

QStringList boxTexts(const frmPHZ& window) {
  QStringList texts;
  for (const QLineEdit* box : window.txtFields) texts.append(box->text());
  return texts;
}

class PrintButton : public testing::Test {
 protected:
  frmPHZ& open(std::initializer_list<QString> identifiers) {
    testfiles::seedRecords(db.path(), identifiers);
    platform.services.programFolder = db.folder();
    window = std::make_unique<frmPHZ>(platform.services, main);
    window->show();
    platform.messageBox.messages.clear();
    return *window;
  }

  testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  testfiles::FakeMainWindow main;
  std::unique_ptr<frmPHZ> window;
};

// A record the window is still editing, changed or new, is not printed, and the window
// keeps it as it was: same boxes, same position, same edit, nothing written.
TEST_F(PrintButton, PrintsWhatIsStoredAndLeavesTheWindowsRecordAlone) {
  const struct {
    const char* name;
    void (*edit)(frmPHZ&);
  } cases[] = {
      {"changed identifier", [](frmPHZ& w) { w.txtFields[1]->setText(QStringLiteral("typed")); }},
      {"new record",
       [](frmPHZ& w) {
         w.cmdAdd->click();
         QTest::keyClicks(w.txtFields[1], QStringLiteral("NEW"));
       }},
  };
  open({QStringLiteral("A"), QStringLiteral("B")});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    window->cmdRefresh->click();
    c.edit(*window);
    platform.messageBox.messages.clear();
    platform.printers.events.clear();
    platform.pointer.windowHistory.clear();
    platform.pointer.screenHistory.clear();
    const QStringList boxes = boxTexts(*window);
    const long position = window->Data1->Recordset().absolutePosition();
    const auto mode = window->Data1->Recordset().editMode();
    const QByteArray stored = testfiles::fileBytes(db.path());

    window->prn->click();

    EXPECT_EQ(platform.printers.lines(),
              (QStringList{u"2024\tA\t5\t 7.20"_qs, u"2024\tB\t5\t 7.20"_qs}));
    EXPECT_TRUE(platform.messageBox.messages.isEmpty());
    EXPECT_EQ(boxTexts(*window), boxes);
    EXPECT_EQ(window->Data1->Recordset().absolutePosition(), position);
    EXPECT_EQ(window->Data1->Recordset().editMode(), mode);
    EXPECT_EQ(testfiles::fileBytes(db.path()), stored);
    EXPECT_EQ(platform.pointer.windowHistory,
              (std::vector<PointerShape>{PointerShape::Hourglass, PointerShape::Default}));
    EXPECT_TRUE(platform.pointer.screenHistory.empty());
  }
}

// A file that cannot be read ends in one message and the arrow again, not the program's end.
TEST_F(PrintButton, SaysWhyNothingPrintedAndRestoresThePointer) {
  open({QStringLiteral("A")});
  QFile::remove(db.path());

  window->prn->click();

  ASSERT_EQ(platform.messageBox.messages.size(), 1);
  EXPECT_TRUE(platform.messageBox.messages[0].startsWith(QStringLiteral("无法打印报表")));
  EXPECT_EQ(platform.printers.opened, 0);
  EXPECT_EQ(platform.pointer.windowPointer(*window), PointerShape::Default);
  EXPECT_EQ(platform.programEnd.ends, 0);
}

}  // namespace
}  // namespace sorvane::results
