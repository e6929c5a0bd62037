#include "about/fAbout1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "fakes/FakePlatform.h"

namespace sorvane::about {
namespace {

// Runs the deletions the window system would run on returning to the event loop.
void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Shows the box, loading a fresh one when the last one unloaded itself.
class fAbout1Test : public testing::Test {
 protected:
  ~fAbout1Test() override { delete box_.data(); }
  fAbout1& open() {
    if (box_.isNull()) box_ = new fAbout1(platform.services);
    box_->show();
    return *box_;
  }
  bool loaded() const { return !box_.isNull(); }

  fakes::FakePlatform platform;

 private:
  QPointer<fAbout1> box_;
};

TEST_F(fAbout1Test, EachClosingUnloadsTheBoxAndTheNextIsFresh) {
  const std::pair<const char*, void (*)(fAbout1&)> closings[] = {
      {"确定", [](fAbout1& box) { QTest::mouseClick(box.cmdOK, Qt::LeftButton); }},
      {"Enter", [](fAbout1& box) { QTest::keyClick(&box, Qt::Key_Return); }},
      {"Esc", [](fAbout1& box) { QTest::keyClick(&box, Qt::Key_Escape); }},
      {"window system", [](fAbout1& box) { box.close(); }},
  };
  for (const auto& [how, close] : closings) {
    SCOPED_TRACE(how);
    fAbout1& box = open();
    close(box);
    settle();
    EXPECT_FALSE(loaded());  // its guarded pointer clears once it is deleted
    open();                  // a fresh one, left open for the next closing
  }
}

TEST_F(fAbout1Test, TextsStateTheMethodAndCiteNoPublication) {
  const fAbout1& box = open();
  const QString texts =
      box.lblDescription->text() + '|' + box.Label1->text() + '|' + box.lblDisclaimer->text();
  // Book titles, publishers, editors and page numbers are what a citation is made of.
  EXPECT_FALSE(texts.contains(QRegularExpression(QStringLiteral("[《》]|出版|主编|手册|第.*页"))))
      << texts.toStdString();
  for (const char* step : {"氢离子浓度", "平均", "两位小数"})
    EXPECT_TRUE(box.lblDescription->text().contains(QString::fromUtf8(step))) << step;
}

TEST_F(fAbout1Test, SystemInformationStartsTheToolByClickAndAltSAndKeepsTheBoxOpen) {
  platform.registry.addString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", "/bin/hi");
  fAbout1& box = open();
  QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
  // Access keys reach the active window through the window system, and click a moment later.
  ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
  QTest::keyClick(box.windowHandle(), Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return platform.programStart.started == QStringList{"/bin/hi", "/bin/hi"};
  }));
  settle();
  EXPECT_TRUE(loaded());
}

}  // namespace
}  // namespace sorvane::about
