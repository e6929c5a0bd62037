#include "about/fAbout1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <functional>

#include "app/WindowModel.h"
#include "fakes/FakePlatform.h"
#include "platform/Twips.h"

namespace sorvane::about {
namespace {

// Runs the deletions the window system would run on returning to the event loop.
void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

int aboutBoxCount() {
  int count = 0;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (qobject_cast<fAbout1*>(widget)) ++count;
  return count;
}

class fAbout1Test : public testing::Test {
 protected:
  fakes::FakePlatform platform;
  app::WindowModel windows{platform.services};

  fAbout1& open() {
    windows.showAboutBox();
    return windows.aboutBox();
  }
  void TearDown() override {
    if (windows.isAboutBoxLoaded()) windows.aboutBox().close();
    settle();
  }
};

void expectLoadedTexts(const fAbout1& box) {
  EXPECT_EQ(box.windowTitle(), QStringLiteral("关于  Sorvane"));
  EXPECT_EQ(box.lblVersion->text(), QStringLiteral("版本 1.0.0"));
  EXPECT_EQ(box.lblTitle->text(), QStringLiteral(" Sorvane"));
}

TEST(fAbout1VersionTest, WritesThePlainNumbers) {
  EXPECT_EQ(fAbout1::versionText(1, 0, 0), QStringLiteral("版本 1.0.0"));
  EXPECT_EQ(fAbout1::versionText(2, 13, 7), QStringLiteral("版本 2.13.7"));
}

TEST_F(fAbout1Test, EachWayOfClosingUnloadsAndTheNextOpeningLoadsAfresh) {
  const std::pair<const char*, std::function<void(fAbout1&)>> closings[] = {
      {"确定 clicked", [](fAbout1& box) { QTest::mouseClick(box.cmdOK, Qt::LeftButton); }},
      {"Enter", [](fAbout1& box) { QTest::keyClick(&box, Qt::Key_Return); }},
      {"Esc", [](fAbout1& box) { QTest::keyClick(&box, Qt::Key_Escape); }},
      {"window system", [](fAbout1& box) { box.close(); }},
  };
  for (const auto& [how, close] : closings) {
    SCOPED_TRACE(how);
    fAbout1& box = open();
    expectLoadedTexts(box);
    box.lblTitle->setText(QStringLiteral("changed"));
    close(box);
    settle();
    EXPECT_FALSE(windows.isAboutBoxLoaded());
    EXPECT_EQ(aboutBoxCount(), 0);
    expectLoadedTexts(open());
    windows.aboutBox().close();
    settle();
  }
}

TEST_F(fAbout1Test, ShowingAnOpenBoxNeitherCreatesASecondNorRefills) {
  fAbout1& box = open();
  box.lblVersion->setText(QStringLiteral("kept"));
  windows.showAboutBox();
  EXPECT_EQ(&windows.aboutBox(), &box);
  EXPECT_EQ(aboutBoxCount(), 1);
  EXPECT_EQ(box.lblVersion->text(), QStringLiteral("kept"));
}

TEST_F(fAbout1Test, IsAFixedDialogAtItsDesignPlace) {
  fAbout1& box = open();
  const QSize design = platform::twipsSize(5730, 3555);
  box.resize(design * 2);
  EXPECT_EQ(box.size(), design);
  EXPECT_EQ(box.minimumSize(), design);
  EXPECT_EQ(box.maximumSize(), design);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(box.isModal());
  const QPoint corner = QGuiApplication::primaryScreen()->geometry().topLeft();
  EXPECT_EQ(box.geometry().topLeft(), corner + platform::twipsRect(2340, 1935, 0, 0).topLeft());
}

TEST_F(fAbout1Test, SystemInformationStartsTheToolAndKeepsTheBoxOpen) {
  platform.registry.addString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                              "/usr/bin/hardinfo");
  fAbout1& box = open();
  QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
  // Access keys go through the window system to the active window.
  ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
  QTest::keyClick(box.windowHandle(), Qt::Key_S, Qt::AltModifier);
  // An access key presses its button visibly, so the click arrives a moment later.
  QTest::qWaitFor([&] { return platform.programStart.started.size() == 2; });
  settle();
  EXPECT_EQ(platform.programStart.started, QStringList({"/usr/bin/hardinfo", "/usr/bin/hardinfo"}));
  EXPECT_TRUE(windows.isAboutBoxLoaded());
  EXPECT_TRUE(platform.messageBox.messages.isEmpty());
}

}  // namespace
}  // namespace sorvane::about
