// The results window on a real temporary phjz.mdb.
#include <gtest/gtest.h>

#include <QDate>
#include <QLineEdit>
#include <QLocale>
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

TEST(frmPHZTest, WithoutAFileEachButtonGivesOneMessageAndKeepsTheBoxes) {
  for (QPushButton* frmPHZ::*button :
       {&frmPHZ::cmdAdd, &frmPHZ::cmdDelete, &frmPHZ::cmdUpdate, &frmPHZ::cmdRefresh}) {
    store::testfiles::TempDatabase db;
    fakes::FakePlatform fake;
    FakeMainWindow main;
    fake.services.programFolder = db.folder() + QStringLiteral("/gone");
    frmPHZ window(fake.services, main);
    window.show();
    const QStringList& messages = fake.messageBox.messages;
    // The failed opening comes through the navigator's Error, whose own message is silenced.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith(QStringLiteral("数据错误事件命中错误：")));
    window.txtFields[1]->setText(QStringLiteral("typed"));
    (window.*button)->click();
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(window.txtFields[1]->text(), QStringLiteral("typed"));
    EXPECT_EQ(fake.programEnd.ends, 0);
  }
}

}  // namespace
}  // namespace sorvane::results
