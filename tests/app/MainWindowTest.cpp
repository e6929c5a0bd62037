#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>

#include "about/fAbout1.h"
#include "app/WindowModel.h"
#include "app/pH.h"
#include "fakes/FakePlatform.h"
#include "platform/FormsButton.h"
#include "platform/QtDialogs.h"

namespace sorvane::app {
namespace {

// Which of the main window and its result controls are shown at one moment.
struct Shown {
  bool window, l1, l2, tx1;
  bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& s, std::ostream* os) {
  *os << "{window " << s.window << ", L1 " << s.l1 << ", L2 " << s.l2 << ", Tx1 " << s.tx1 << "}";
}

class MainWindowTest : public testing::Test {
 protected:
  MainWindowTest() : windows(fake.services), main(windows.mainWindow()) {
    main.show();
    fake.inputBox.onAsk = [this] { shownAtQuestion.push_back(shown()); };
  }

  Shown shown() const {
    return {!main.isHidden(), !main.L1->isHidden(), !main.L2->isHidden(), !main.Tx1->isHidden()};
  }

  void compute(std::initializer_list<std::optional<QString>> answers) {
    fake.inputBox.script(answers);
    main.Com1->click();
  }

  fakes::FakePlatform fake;
  WindowModel windows;
  pH& main;
  std::vector<Shown> shownAtQuestion;
};

TEST_F(MainWindowTest, StartsWithTheWelcomeTextAndNoResult) {
  EXPECT_EQ(shown(), (Shown{true, true, false, false}));
  EXPECT_EQ(main.L1->text(), "欢迎使用本软件");
  EXPECT_EQ(main.windowTitle(), " Sorvane");
  EXPECT_TRUE(main.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(windows.isResultsWindowLoaded());
  EXPECT_FALSE(windows.isAboutBoxLoaded());
}

TEST_F(MainWindowTest, TypicalComputationShowsHeadingAndCutMean) {
  compute({"2", "7", "8"});

  ASSERT_EQ(fake.inputBox.questions.size(), 3u);
  const auto& q = fake.inputBox.questions;
  EXPECT_EQ(q[0].prompt, "请输入样本数 N= ");
  EXPECT_EQ(q[0].title, "计算 pH 均值");
  EXPECT_EQ(q[0].defaultText, "");
  EXPECT_EQ(q[1].prompt, "请输入第 1 个 pH 值");
  EXPECT_EQ(q[2].prompt, "请输入第 2 个 pH 值");
  EXPECT_EQ(q[2].title, "  共 2 个样本");
  // Hidden window while the dialogs are open, results shown afterwards.
  for (const Shown& s : shownAtQuestion) EXPECT_EQ(s, (Shown{false, false, true, true}));
  EXPECT_EQ(shown(), (Shown{true, false, true, true}));
  EXPECT_EQ(main.L2->text(), " 2 个 pH 值的均值如下：");
  EXPECT_EQ(main.Tx1->text(), "7.26");
  EXPECT_EQ(fake.programEnd.ends, 0);
}

TEST_F(MainWindowTest, SecondComputationReplacesTheResultAndKeepsTheWelcomeHidden) {
  compute({"2", "7", "8"});
  compute({"3", "7", "7", "7.00"});
  EXPECT_EQ(shown(), (Shown{true, false, true, true}));
  EXPECT_EQ(main.L2->text(), " 3 个 pH 值的均值如下：");
  EXPECT_EQ(main.Tx1->text(), "7");
}

TEST_F(MainWindowTest, CountOfOneOrLessEndsTheProgram) {
  for (const std::optional<QString>& count :
       {std::optional<QString>("1"), std::optional<QString>("0"), std::optional<QString>("-3"),
        std::optional<QString>("abc"), std::optional<QString>(""), std::optional<QString>("1.9"),
        std::optional<QString>()}) {
    fakes::FakePlatform local;
    WindowModel model(local.services);
    pH& window = model.mainWindow();
    window.show();
    local.inputBox.script({count});
    window.Com1->click();
    EXPECT_EQ(local.programEnd.ends, 1) << count.value_or("<Cancel>").toStdString();
    EXPECT_EQ(local.inputBox.questions.size(), 1u);
    // The window is not shown again; the control states set before the dialog stay.
    EXPECT_TRUE(window.isHidden());
    EXPECT_TRUE(window.L1->isHidden());
  }
}

TEST_F(MainWindowTest, FractionalCountUsesItsWholePartEverywhere) {
  compute({"2.5", "7", "8"});
  ASSERT_EQ(fake.inputBox.questions.size(), 3u);
  EXPECT_EQ(fake.inputBox.questions[1].title, "  共 2 个样本");
  EXPECT_EQ(main.L2->text(), " 2 个 pH 值的均值如下：");
  EXPECT_EQ(main.Tx1->text(), "7.26");  // divided by 2, not 2.5
}

TEST_F(MainWindowTest, ReadingWithoutNumberIsAskedAgainAndZeroCounts) {
  compute({"2", "", "abc", "  6.8 pH", "0"});
  ASSERT_EQ(fake.inputBox.questions.size(), 5u);
  EXPECT_EQ(fake.inputBox.questions[2].prompt, "请输入第 1 个 pH 值");
  EXPECT_EQ(fake.inputBox.questions[3].prompt, "请输入第 1 个 pH 值");
  EXPECT_EQ(fake.inputBox.questions[4].prompt, "请输入第 2 个 pH 值");
  EXPECT_EQ(main.Tx1->text(), "0.3");
}

TEST_F(MainWindowTest, CancelOrOutOfRangeBringsBackTheWindowAsItWas) {
  struct Case {
    const char* name;
    std::initializer_list<std::optional<QString>> answers;
    int messages;
  };
  const Case cases[] = {
      {"cancel", {"2", "7", std::nullopt}, 0},
      {"overflow", {"2", "7", "-400"}, 1},
      {"underflow", {"2", "400", "500"}, 1},
  };
  for (const Case& c : cases) {
    fakes::FakePlatform local;
    WindowModel model(local.services);
    pH& window = model.mainWindow();
    window.show();
    // First from the start-up state, then from a state with a result.
    for (bool afterResult : {false, true}) {
      if (afterResult) {
        local.inputBox.script({"2", "7", "8"});
        window.Com1->click();
      }
      const Shown before{!window.isHidden(), !window.L1->isHidden(), !window.L2->isHidden(),
                         !window.Tx1->isHidden()};
      const QString heading = window.L2->text(), result = window.Tx1->text();
      local.messageBox.messages.clear();
      local.inputBox.script(c.answers);
      window.Com1->click();
      const Shown after{!window.isHidden(), !window.L1->isHidden(), !window.L2->isHidden(),
                        !window.Tx1->isHidden()};
      EXPECT_EQ(after, before) << c.name;
      EXPECT_EQ(window.L2->text(), heading) << c.name;
      EXPECT_EQ(window.Tx1->text(), result) << c.name;
      EXPECT_EQ(local.messageBox.messages.size(), c.messages) << c.name;
      EXPECT_EQ(local.programEnd.ends, 0) << c.name;
    }
  }
}

TEST_F(MainWindowTest, AboutSpotOpensOneBoxBesideTheMainWindow) {
  main.CommandButton2->click();
  about::fAbout1* first = &windows.aboutBox();
  main.CommandButton2->click();
  EXPECT_EQ(&windows.aboutBox(), first);
  EXPECT_TRUE(first->isVisible());
  EXPECT_FALSE(main.isHidden());
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<about::fAbout1*>(w)) ++boxes;
  EXPECT_EQ(boxes, 1);
}

TEST_F(MainWindowTest, SaveViewShowsTheResultsWindowThenHidesTheMainWindow) {
  main.CommandButton3->click();
  EXPECT_TRUE(windows.isResultsWindowLoaded());
  EXPECT_TRUE(main.isHidden());
}

TEST_F(MainWindowTest, EndAndCloseRequestEndTheProgram) {
  main.CommandButton2->click();
  main.CommandButton1->click();
  EXPECT_EQ(fake.programEnd.ends, 1);
  QCloseEvent close;
  QApplication::sendEvent(&main, &close);
  EXPECT_EQ(fake.programEnd.ends, 2);
}

TEST_F(MainWindowTest, UntrappedErrorShowsOneMessageThenEnds) {
  // The scripted input box fails when asked more than it was told to answer.
  compute({"2", "7"});
  ASSERT_EQ(fake.messageBox.messages.size(), 1);
  EXPECT_FALSE(fake.messageBox.messages.front().isEmpty());
  EXPECT_EQ(fake.programEnd.ends, 1);
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
        std::fprintf(stderr, "a handler ran after the end\n");
        std::exit(3);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace sorvane::app
