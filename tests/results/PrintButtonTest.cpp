#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include "ResultsProgram.h"
#include "store/StoreTestFiles.h"

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
