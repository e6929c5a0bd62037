// The record navigator on its own: what its Validate and Error handlers decide, and the
// pointer a Validate handler sets.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

#include "fakes/FakePlatform.h"
#include "results/DataNavigator.h"
#include "results/StoreTestFiles.h"
#include "results/WindowTestSupport.h"

namespace sorvane::results {
namespace {

using platform::PointerShape;
using testfiles::fileBytes;
using testfiles::seedRecords;
using testfiles::storedTexts;

const QString kCount = QStringLiteral("样本数");

class DataNavigatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seedRecords(db.path(), {QStringLiteral("A"), QStringLiteral("B")});
    navigator = new DataNavigator(platform.services, &form);
    navigator->bind(box, kCount);
    navigator->setDatabaseName(db.path());
    QObject::connect(navigator, &DataNavigator::Error, [this](int&, int&) { ++errors; });
  }
  void click(const char* button) {
    navigator->findChild<QToolButton*>(QString::fromLatin1(button))->click();
  }

  testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  QWidget form;
  QLineEdit* box = new QLineEdit(&form);
  DataNavigator* navigator = nullptr;
  int errors = 0;
};

TEST_F(DataNavigatorTest, ValidateDecidesWhetherAnEditIsSavedAndTheMoveGoesAhead) {
  struct Case {
    const char* name;
    QString typed;  // empty: the box is left alone
    int action;     // -1: left as passed
    int save;       // -1: left as passed
    long position;
    QString stored;
    int errors;
  };
  const Case cases[] = {
      {"unchanged: nothing written", {}, -1, -1, 1, QStringLiteral("5"), 0},
      {"edited: saved, then moved", QStringLiteral("6"), -1, -1, 1, QStringLiteral("6"), 0},
      {"save refused: dropped", QStringLiteral("6"), -1, 0, 1, QStringLiteral("5"), 0},
      {"action cancelled", QStringLiteral("6"), ActionCancel, -1, 0, QStringLiteral("5"), 0},
      {"refused value: stays", QStringLiteral("six"), -1, -1, 0, QStringLiteral("5"), 1},
  };
  form.show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testfiles::TempDatabase fresh;
    seedRecords(fresh.path(), {QStringLiteral("A"), QStringLiteral("B")});
    navigator->setDatabaseName(fresh.path());
    navigator->Refresh();
    errors = 0;
    int passedSave = -1;
    const auto connection =
        QObject::connect(navigator, &DataNavigator::Validate, [&](int& action, int& save) {
          passedSave = save;
          if (c.action >= 0) action = c.action;
          if (c.save >= 0) save = c.save;
        });
    if (!c.typed.isEmpty()) box->setText(c.typed);
    const QByteArray before = fileBytes(fresh.path());
    click("next");
    QObject::disconnect(connection);
    EXPECT_EQ(passedSave != 0, !c.typed.isEmpty());
    EXPECT_EQ(navigator->Recordset().absolutePosition(), c.position);
    EXPECT_EQ(storedTexts(fresh.path(), kCount).value(0), c.stored);
    EXPECT_EQ(errors, c.errors);
    if (c.position == 0) EXPECT_EQ(box->text(), c.typed);  // the edit is still there
    if (c.stored == QStringLiteral("5")) EXPECT_EQ(fileBytes(fresh.path()), before);
  }
}

TEST_F(DataNavigatorTest, ResponseZeroSilencesTheNavigatorsOwnMessage) {
  for (const bool silence : {false, true}) {
    fakes::FakePlatform own;
    QWidget window;
    auto* lonely = new DataNavigator(own.services, &window);
    lonely->setDatabaseName(db.folder() + QStringLiteral("/missing/phjz.mdb"));
    QObject::connect(lonely, &DataNavigator::Error, [&](int&, int& response) {
      if (silence) response = 0;
    });
    window.show();                                                     // cannot open
    lonely->findChild<QToolButton*>(QStringLiteral("next"))->click();  // has no record set
    EXPECT_FALSE(lonely->isOpen());
    EXPECT_EQ(own.messageBox.messages.size(), silence ? 0 : 2);
  }
}

TEST_F(DataNavigatorTest, AFailedRefreshKeepsTheOpenRecordSet) {
  form.show();
  click("last");
  navigator->setDatabaseName(db.folder() + QStringLiteral("/missing/phjz.mdb"));
  navigator->Refresh();
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(navigator->Recordset().absolutePosition(), 1);
}

TEST_F(DataNavigatorTest, TheHourglassOfValidateEndsWithItsAction) {
  form.show();
  QObject::connect(navigator, &DataNavigator::Validate, [this](int&, int&) {
    platform.pointer.setScreenPointer(PointerShape::Hourglass);
  });
  // No handler resets it: neither a delete (no Reposition) nor a failing move may leave it.
  navigator->Recordset().deleteCurrent();
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
  navigator->Recordset().addNew();
  box->setText(QStringLiteral("x"));
  EXPECT_THROW(navigator->Recordset().moveFirst(), StoreError);
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
  EXPECT_EQ(std::count(platform.pointer.screenHistory.begin(), platform.pointer.screenHistory.end(),
                       PointerShape::Hourglass),
            3);
}

}  // namespace
}  // namespace sorvane::results
