// The record navigator on its own: what its Validate handler decides, and what it cleans up.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QToolButton>

#include "fakes/FakePlatform.h"
#include "store/StoreTestFiles.h"
#include "widgets/DataNavigator.h"

namespace sorvane::widgets {
namespace {

using platform::PointerShape;
using store::testfiles::fileBytes;
namespace testfiles = store::testfiles;

const QString kCount = QStringLiteral("样本数");

TEST(DataNavigatorTest, ValidateDecidesWhetherAnEditIsSavedAndTheMoveGoesAhead) {
  struct Case {
    const char* name;
    QString typed;     // empty: the box is left alone
    int action, save;  // -1: left as passed
    long position;
    QString stored;
    int messages;  // the navigator's own, for an error of its work
  };
  const Case cases[] = {
      {"unchanged: nothing written", {}, -1, -1, 1, "5", 0},
      {"edited: saved, then moved", "6", -1, -1, 1, "6", 0},
      {"save refused: dropped", "6", -1, 0, 1, "5", 0},
      {"action cancelled", "6", ActionCancel, -1, 0, "5", 0},
      {"refused value: stays", "six", -1, -1, 0, "5", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testfiles::TempDatabase db;
    testfiles::seedRecords(db.path(), {{.identifier = "A"}, {.identifier = "B"}});
    fakes::FakePlatform fake;
    QLineEdit box;
    DataNavigator navigator(fake.services);
    navigator.bind(&box, kCount);
    navigator.setDatabaseName(db.path());
    navigator.show();
    // The hourglass is never reset by a handler here: the navigator must end it itself.
    QObject::connect(&navigator, &DataNavigator::Validate, [&](int& action, int& save) {
      fake.pointer.setScreenPointer(PointerShape::Hourglass);
      if (c.action >= 0) action = c.action;
      if (c.save >= 0) save = c.save;
    });
    if (!c.typed.isEmpty()) box.setText(c.typed);
    const QByteArray before = fileBytes(db.path());
    navigator.findChild<QToolButton*>(QStringLiteral("next"))->click();
    EXPECT_EQ(navigator.Recordset().absolutePosition(), c.position);
    EXPECT_EQ(testfiles::storedTexts(db.path(), kCount).value(0), c.stored);
    EXPECT_EQ(fake.messageBox.messages.size(), c.messages);  // no handler silences it
    EXPECT_EQ(fake.pointer.screenPointer(), PointerShape::Default);
    if (c.position == 0) {
      EXPECT_EQ(box.text(), c.typed);  // the edit is still there
    }
    if (c.stored == "5") {
      EXPECT_EQ(fileBytes(db.path()), before);
    }
  }
}

}  // namespace
}  // namespace sorvane::widgets
