// The record navigator on its own: what its Validate and Error handlers can decide, the
// ends of the set, and the pointer a Validate handler sets.
#include <gtest/gtest.h>

#include <algorithm>

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

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

const QString kId = QStringLiteral("标识符");

class DataNavigatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seedRecords(db.path(), {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    box = new QLineEdit(&form);
    navigator = new DataNavigator(platform.services, &form);
    navigator->bind(box, kId);
    navigator->setDatabaseName(db.path());
    QObject::connect(navigator, &DataNavigator::Reposition, [this] {
      ++repositions;
      platform.pointer.setScreenPointer(PointerShape::Default);
    });
  }

  void click(const char* button) {
    navigator->findChild<QToolButton*>(QString::fromLatin1(button))->click();
  }
  long position() { return navigator->Recordset().absolutePosition(); }

  testfiles::TempDatabase db;
  fakes::FakePlatform platform;
  QWidget form;
  QLineEdit* box = nullptr;
  DataNavigator* navigator = nullptr;
  int repositions = 0;
};

TEST_F(DataNavigatorTest, OpensOnFirstShowOnlyAndShowsTheFirstRecord) {
  EXPECT_FALSE(navigator->isOpen());
  form.show();
  EXPECT_TRUE(navigator->isOpen());
  EXPECT_EQ(box->text(), QStringLiteral("A"));
  EXPECT_EQ(repositions, 1);
  click("next");
  form.hide();
  form.show();
  EXPECT_EQ(repositions, 2);
  EXPECT_EQ(box->text(), QStringLiteral("B"));
}

TEST_F(DataNavigatorTest, ButtonsKeepToTheEndsOfTheSet) {
  form.show();
  struct Step {
    const char* button;
    long position;
  };
  const Step steps[] = {{"previous", 0}, {"next", 1},  {"last", 2},
                        {"next", 2},     {"first", 0}, {"previous", 0}};
  for (const Step& step : steps) {
    click(step.button);
    EXPECT_EQ(position(), step.position) << step.button;
  }
  EXPECT_EQ(box->text(), QStringLiteral("A"));
  EXPECT_TRUE(platform.messageBox.messages.isEmpty());
}

TEST_F(DataNavigatorTest, ValidateDecidesWhetherAnEditIsSavedAndWhetherTheMoveHappens) {
  struct Case {
    const char* name;
    int action;  // -1: leave as passed
    int save;    // -1: leave as passed
    long positionAfter;
    QString storedFirst;
    QString boxAfter;
  };
  const Case cases[] = {
      {"left alone: saved, then moved", -1, -1, 1, QStringLiteral("A2"), QStringLiteral("B")},
      {"save refused: dropped, then moved", -1, 0, 1, QStringLiteral("A"), QStringLiteral("B")},
      {"action cancelled: nothing happens", ActionCancel, -1, 0, QStringLiteral("A"),
       QStringLiteral("A2")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testfiles::TempDatabase fresh;
    seedRecords(fresh.path(), {QStringLiteral("A"), QStringLiteral("B")});
    navigator->setDatabaseName(fresh.path());
    navigator->Refresh();
    int passedSave = -2;
    const auto connection =
        QObject::connect(navigator, &DataNavigator::Validate, [&](int& action, int& save) {
          passedSave = save;
          if (c.action >= 0) action = c.action;
          if (c.save >= 0) save = c.save;
        });
    box->setText(QStringLiteral("A2"));
    click("next");
    QObject::disconnect(connection);
    EXPECT_NE(passedSave, 0);
    EXPECT_EQ(position(), c.positionAfter);
    EXPECT_EQ(storedTexts(fresh.path(), kId).value(0), c.storedFirst);
    EXPECT_EQ(box->text(), c.boxAfter);
  }
}

TEST_F(DataNavigatorTest, AnUnchangedRecordIsNotWrittenOnAMove) {
  form.show();
  int passedSave = -1;
  QObject::connect(navigator, &DataNavigator::Validate,
                   [&](int&, int& save) { passedSave = save; });
  const QByteArray before = fileBytes(db.path());
  click("next");
  EXPECT_EQ(passedSave, 0);
  EXPECT_EQ(fileBytes(db.path()), before);
}

TEST_F(DataNavigatorTest, ErrorResponseDecidesWhetherTheNavigatorSpeaksItself) {
  for (const bool silence : {false, true}) {
    SCOPED_TRACE(silence ? "Response set to 0" : "Response left");
    fakes::FakePlatform own;
    QWidget window;
    auto* lonely = new DataNavigator(own.services, &window);
    lonely->setDatabaseName(db.folder() + QStringLiteral("/missing/phjz.mdb"));
    int errors = 0;
    QObject::connect(lonely, &DataNavigator::Error, [&](int& dataErr, int& response) {
      ++errors;
      EXPECT_EQ(lonely->errorText(dataErr).isEmpty(), false);
      if (silence) response = 0;
    });
    window.show();
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(lonely->isOpen());
    EXPECT_EQ(own.messageBox.messages.size(), silence ? 0 : 1);
    // Without a record set the buttons report through Error too, and nothing breaks.
    lonely->findChild<QToolButton*>(QStringLiteral("next"))->click();
    EXPECT_EQ(errors, 2);
  }
}

TEST_F(DataNavigatorTest, TheHourglassOfValidateEndsWithItsAction) {
  form.show();
  QObject::connect(navigator, &DataNavigator::Validate, [this](int&, int&) {
    platform.pointer.setScreenPointer(PointerShape::Hourglass);
  });
  // An action without Reposition, and one that fails, each leave the default pointer.
  navigator->Recordset().deleteCurrent();
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
  navigator->Recordset().addNew();
  box->setText(QStringLiteral("far too long an identifier"));
  EXPECT_THROW(navigator->Recordset().moveFirst(), StoreError);
  EXPECT_EQ(platform.pointer.screen, PointerShape::Default);
  EXPECT_NE(std::count(platform.pointer.screenHistory.begin(), platform.pointer.screenHistory.end(),
                       PointerShape::Hourglass),
            0);
}

TEST_F(DataNavigatorTest, ARefreshThatCannotOpenKeepsTheOpenRecordSet) {
  form.show();
  click("last");
  navigator->setDatabaseName(db.folder() + QStringLiteral("/missing/phjz.mdb"));
  navigator->Refresh();
  EXPECT_EQ(platform.messageBox.messages.size(), 1);
  EXPECT_TRUE(navigator->isOpen());
  EXPECT_EQ(position(), 2);
  EXPECT_EQ(box->text(), QStringLiteral("C"));
}

}  // namespace
}  // namespace sorvane::results
