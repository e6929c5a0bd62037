#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <set>

#include "about/fAbout1.h"
#include "app/WindowModel.h"
#include "app/pH.h"
#include "fakes/FakePlatform.h"
#include "platform/QtProgramEnd.h"
#include "results/frmPHZ.h"
#include "store/StoreTestFiles.h"
#include "widgets/DataNavigator.h"
#include "widgets/FormsButton.h"

namespace sorvane::app {
namespace {

using Answers = std::initializer_list<std::optional<QString>>;

namespace testfiles = store::testfiles;

// The main window with scripted dialogs, on a temporary phjz.mdb; `shown` is "W" for the
// window, then "1", "2", "T" for L1, L2 and Tx1, each only while visible.
class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest()
      : windows((fake.services.programFolder = db.folder(), fake.services)),
        main(windows.mainWindow()) {
    main.show();
    fake.inputBox.onAsk = [this] { shownAtQuestion.insert(shown()); };
  }

  std::string shown() const {
    const QWidget* const marked[] = {&main, main.L1, main.L2, main.Tx1};
    std::string s;
    for (int i = 0; i < 4; ++i)
      if (!marked[i]->isHidden()) s += "W12T"[i];
    return s;
  }

  void compute(Answers answers) {
    fake.inputBox.script(answers);
    main.Com1->click();
  }

  testfiles::TempDatabase db;
  fakes::FakePlatform fake;
  WindowModel windows;
  pH& main;
  std::set<std::string> shownAtQuestion;
};

TEST_F(MainWindowTest, TypicalComputationShowsHeadingAndCutMean) {
  EXPECT_EQ(shown(), "W1");
  // 2.5 asks two readings; empty and "abc" ask the same reading again.
  compute({"2.5", "", "abc", "  7 pH", "8"});

  const auto& q = fake.inputBox.questions;
  ASSERT_EQ(q.size(), 5u);
  EXPECT_EQ(q[0].prompt + "|" + q[0].title, "请输入样本数 N= |计算 pH 均值");
  EXPECT_EQ(q[3].prompt + "|" + q[3].title, "请输入第 1 个 pH 值|  共 2 个样本");
  EXPECT_EQ(q[4].prompt + "|" + q[4].title, "请输入第 2 个 pH 值|  共 2 个样本");
  EXPECT_EQ(shownAtQuestion, std::set<std::string>{"2T"});  // only the dialogs on screen
  EXPECT_EQ(shown(), "W2T");
  EXPECT_EQ(main.L2->text(), " 2 个 pH 值的均值如下：");
  EXPECT_EQ(main.Tx1->text(), "7.26");
  // The heading grows with its caption instead of cutting it off.
  EXPECT_GE(main.L2->width(), main.L2->fontMetrics().horizontalAdvance(main.L2->text()));
  for (const auto& question : q) EXPECT_EQ(question.defaultText, QString());  // fields start empty

  // A second run replaces the result, L1 stays hidden; a typed 0 is pH 0.
  compute({"3", "7", "0", "7.00"});
  EXPECT_EQ(shown(), "W2T");
  EXPECT_EQ(main.L2->text() + main.Tx1->text(), " 3 个 pH 值的均值如下：0.47");
  EXPECT_EQ(fake.programEnd.ends, 0);
}

TEST_F(MainWindowTest, TabGoesThroughTheControlsInDesignOrder) {
  std::vector<QWidget*> order;
  for (QWidget* w = main.nextInFocusChain(); w != &main; w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus) order.push_back(w);
  EXPECT_EQ(order, (std::vector<QWidget*>{main.Com1, main.Tx1, main.CommandButton1,
                                          main.CommandButton2, main.CommandButton3}));
}

TEST_F(MainWindowTest, CountOfOneOrLessEndsTheProgram) {
  for (const char* count : {"1", "-3", "abc", "1.9", "<Cancel>"}) {
    fakes::FakePlatform local;
    WindowModel model(local.services);
    pH& window = model.mainWindow();
    window.show();
    local.inputBox.script(
        {count == std::string("<Cancel>") ? std::nullopt : std::optional<QString>(count)});
    window.Com1->click();
    EXPECT_EQ(local.programEnd.ends, 1) << count;
    EXPECT_TRUE(window.isHidden()) << count;
  }
}

TEST_F(MainWindowTest, CancelOrOutOfRangeBringsBackTheWindowAsItWas) {
  // Infinite counts and readings stop at once, before any further dialog.
  const struct {
    Answers answers;
    int messages;
  } cases[] = {{{"2", "7", std::nullopt}, 0},
               {{"2", "7", "-400"}, 1},
               {{"2", "400", "500"}, 1},
               {{"1e400"}, 1},
               {{"3", "7", "1e400"}, 1}};
  for (bool afterResult : {false, true}) {
    if (afterResult) compute({"2", "7", "8"});
    for (const auto& c : cases) {
      QStringList typed;
      for (const auto& answer : c.answers) typed << answer.value_or(u"<Cancel>"_qs);
      SCOPED_TRACE(typed.join(u", "_qs).toStdString());
      const std::string before = shown();
      const QString texts = main.L2->text() + main.Tx1->text();
      fake.messageBox.messages.clear();
      fake.inputBox.questions.clear();
      compute(c.answers);
      EXPECT_EQ(shown(), before);
      EXPECT_EQ(main.L2->text() + main.Tx1->text(), texts);
      EXPECT_EQ(fake.messageBox.messages.join(u'|').toStdString(),
                c.messages ? "输入的 pH 值超出了可以求均值的范围。" : "");
      EXPECT_EQ(fake.inputBox.questions.size(), c.answers.size());
    }
  }
  EXPECT_EQ(fake.programEnd.ends, 0);
}

TEST_F(MainWindowTest, AboutOpensOnceAndEndOrCloseEnds) {
  main.CommandButton2->click();
  main.CommandButton2->click();
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) boxes += !!qobject_cast<about::fAbout1*>(w);
  EXPECT_EQ(boxes, 1);
  EXPECT_FALSE(main.isHidden());

  main.CommandButton1->click();
  QCloseEvent close;  // a close request from the desktop ends the program too
  QApplication::sendEvent(&main, &close);
  EXPECT_EQ(fake.programEnd.ends, 2);
}

TEST_F(MainWindowTest, UntrappedErrorShowsOneMessageThenEnds) {
  compute({"2", "7"});  // the scripted input box fails when asked a third time
  EXPECT_EQ(fake.messageBox.messages.size(), 1);
  EXPECT_EQ(fake.programEnd.ends, 1);
}

// The typical road on the file: a computation, the results window, a saved record, and back.
TEST_F(MainWindowTest, FilingAResultFromAComputationAndBack) {
  const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
  main.CommandButton3->click();
  results::frmPHZ& results = windows.resultsWindow();
  EXPECT_TRUE(results.isVisible() && main.isHidden());
  const auto boxes = [&f = results.txtFields] {
    return QStringList{f[0]->text(), f[1]->text(), f[2]->text(), f[3]->text()};
  };
  results.cmdAdd->click();  // before any computation
  EXPECT_EQ(boxes(), (QStringList{today, QString(), "0", "8888"}));
  results.cmdRefresh->click();  // the next add would save a pending record
  results.cmdClose->click();

  fake.inputBox.script({"5", "7.1", "7.1", "7.1", "7.1", "7.1"});
  main.Com1->click();
  main.CommandButton3->click();
  results.cmdAdd->click();
  QTest::keyClicks(results.txtFields[1], QStringLiteral("S-01"));
  EXPECT_EQ(boxes(), (QStringList{today, "S-01", "5", "7.1"}));

  // Only Alt+C leaves the window; the record stays pending for the next visit.
  EXPECT_FALSE(results.close());
  results.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&results));
  QTest::keyClick(&results, Qt::Key_C, Qt::AltModifier);
  // An access key presses its button visibly, so the click arrives a moment later.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !results.isVisible(); }, 2000));
  EXPECT_TRUE(main.isVisible());
  main.CommandButton3->click();
  EXPECT_EQ(&windows.resultsWindow(), &results);
  EXPECT_EQ(results.txtFields[1]->text(), QStringLiteral("S-01"));

  // A date the field refuses is reported and writes nothing; corrected, the record saves.
  const QByteArray empty = testfiles::fileBytes(db.path());
  results.txtFields[0]->setText(QStringLiteral("下周二"));
  results.cmdUpdate->click();
  EXPECT_EQ(testfiles::fileBytes(db.path()), empty);
  results.txtFields[0]->setText(today);
  results.cmdUpdate->click();
  EXPECT_EQ(testfiles::storedTexts(db.path(), QStringLiteral("pH均值")), QStringList{"7.1"});
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：1"));
  EXPECT_EQ(fake.messageBox.messages.size(), 3);  // two prompts and the refused date

  // With the last record deleted none is current: deleting or saving again is refused.
  results.cmdDelete->click();
  EXPECT_EQ(results.Data1->Caption(), QStringLiteral("记录：0"));
  EXPECT_TRUE(testfiles::storedTexts(db.path(), QStringLiteral("标识符")).isEmpty());
  const QByteArray before = testfiles::fileBytes(db.path());
  results.cmdDelete->click();
  results.cmdUpdate->click();
  EXPECT_EQ(fake.messageBox.messages.size(), 5);
  EXPECT_EQ(testfiles::fileBytes(db.path()), before);
}

// The meter's port opens with the first reading dialog, not the count's, and closes with
// the series however it ends. A failure is told once a series, and the port is tried again
// at each dialog; a line cut short by the failure is no reading once the port is back.
TEST_F(MainWindowTest, MeterPortFollowsTheSeries) {
  fakes::FakeMeter meter;
  fake.services.meter = &meter;
  fakes::FakeInputBox& dialogs = fake.inputBox;
  dialogs.onAsk = [&] {
    if (dialogs.questions.size() == 1) EXPECT_EQ(meter.log, "");
    if (dialogs.questions.size() == 2) {
      meter.send("7.01 p");
      meter.unplug();
    }
    if (dialogs.questions.size() == 3) {
      meter.send("H\r\n");
      EXPECT_EQ(dialogs.field, "");
      meter.send("pH 8.00\r\n");
    }
  };
  compute({"3", "7", fakes::FakeInputBox::enter, "9"});
  EXPECT_EQ(main.Tx1->text(), "7.43");
  EXPECT_EQ(meter.log, "open open close ");
  EXPECT_EQ(fake.messageBox.messages.size(), 1);

  dialogs.onAsk = nullptr;
  meter.log.clear();
  meter.fault = platform::MeterFault{platform::MeterFault::Busy, {}};
  compute({"3", "7", "", "8", std::nullopt});  // an empty answer asks again
  EXPECT_EQ(meter.log, "open open open open ");
  EXPECT_EQ(fake.messageBox.messages.size(), 2);

  meter.log.clear();
  meter.fault.reset();
  compute({"2", std::nullopt});
  EXPECT_EQ(meter.log, "open close ");
}

using MainWindowDeathTest = MainWindowTest;

TEST_F(MainWindowDeathTest, RealEndStopsAtOnceWithTheAboutBoxOpen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        main.CommandButton2->click();
        platform::QtProgramEnd end;
        fake.services.programEnd = &end;
        main.CommandButton1->click();
        std::exit(3);  // reached only if a handler ran after the end
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace sorvane::app
