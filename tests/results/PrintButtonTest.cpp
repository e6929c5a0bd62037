#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "FakeMainWindow.h"
#include "fakes/FakePlatform.h"
#include "results/frmPHZ.h"
#include "store/StoreTestFiles.h"
#include "widgets/DataNavigator.h"
#include "widgets/FormsButton.h"

namespace sorvane::results {
namespace {

using platform::PointerShape;

// Stored records print; the record the window is still editing, changed or new, does not,
// and the window keeps it as it was. A file gone since the window opened ends in one
// message, not the program's end. The window's pointer is the hourglass only meanwhile.
TEST(PrintButton, PrintsWhatIsStoredAndLeavesTheWindowsRecordAlone) {
  enum Edit { ChangedIdentifier, NewRecord, FileRemoved };
  for (const Edit edit : {ChangedIdentifier, NewRecord, FileRemoved}) {
    SCOPED_TRACE(int(edit));
    store::testfiles::TempDatabase db;
    store::testfiles::seedRecords(db.path(), {{.identifier = "A"}, {.identifier = "B"}});
    fakes::FakePlatform platform;
    platform.services.programFolder = db.folder();
    FakeMainWindow main;
    frmPHZ window(platform.services, main);
    window.show();
    if (edit == ChangedIdentifier) window.txtFields[1]->setText(u"x"_qs);
    if (edit == NewRecord) {
      window.cmdAdd->click();
      QTest::keyClicks(window.txtFields[1], u"NEW"_qs);
    }
    if (edit == FileRemoved) QFile::remove(db.path());
    platform.messageBox.messages.clear();  // adding a record says something of its own
    platform.pointer.windowHistory.clear();
    platform.pointer.screenHistory.clear();
    const auto state = [&] {
      QStringList texts{QString::number(window.Data1->Recordset().absolutePosition()),
                        QString::number(int(window.Data1->Recordset().editMode())),
                        QString::fromLatin1(store::testfiles::fileBytes(db.path()).toBase64())};
      for (const QLineEdit* box : window.txtFields) texts.append(box->text());
      return texts;
    };
    const QStringList before = state();

    window.prn->click();

    const QStringList stored{u"2024\tA\t5\t 7.20"_qs, u"2024\tB\t5\t 7.20"_qs};
    EXPECT_EQ(platform.printers.lines, edit == FileRemoved ? QStringList() : stored);
    EXPECT_EQ(platform.messageBox.messages.size(), edit == FileRemoved ? 1 : 0);
    EXPECT_EQ(state(), before);
    EXPECT_EQ(platform.pointer.windowHistory,
              (std::vector<PointerShape>{PointerShape::Hourglass, PointerShape::Default}));
    EXPECT_TRUE(platform.pointer.screenHistory.empty());
    EXPECT_EQ(platform.programEnd.ends, 0);
  }
}

}  // namespace
}  // namespace sorvane::results
