// Two benches' results windows on one results server, each with a sorvane.ini naming it and
// logged in as a different technician, driven as users would; and a sorvane.ini that can't
// be used.
#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "ResultsProgram.h"
#include "store/PhbFields.h"
#include "store/ResultsSource.h"
#include "store/StoreFailures.h"
#include "store/postgres/TestServer.h"
#include "widgets/DataNavigator.h"

namespace sorvane::results {
namespace {

namespace phb = store::phb;
using namespace store::testserver;

TEST(ServerWindowTest, TwoBenchesShareOneServer) {
  SKIP_WITHOUT_SERVER();
  TestStore store(Backend::Server);
  ResultsProgram first(store.programFolder(u"technician1"_qs));
  ResultsProgram second(store.programFolder(u"technician2"_qs));

  first.window->cmdAdd->click();
  first.type(phb::Identifier, u"甲"_qs);
  first.save();
  second.window->cmdRefresh->click();  // added on one, shown on the other after 刷新
  EXPECT_EQ(second.boxes()[phb::Identifier], "甲");

  second.type(phb::Identifier, u"乙"_qs);
  second.save();
  first.messages().clear();
  first.type(phb::Mean, u"6.5"_qs);
  const QStringList typed = first.boxes();
  first.save();  // over the other bench's change: refused, the typed text stays
  // The message names the other bench's login.
  ASSERT_EQ(first.messages().size(), 1);
  EXPECT_TRUE(first.messages()[0].startsWith(u"另一个程序（“technician2”于 "_qs))
      << first.messages()[0].toStdString();
  EXPECT_EQ(first.boxes(), typed);

  const auto history =
      store::readHistory(store.source(), *second.window->Data1->Recordset().bookmark());
  QStringList logins;
  for (const auto& entry : history) logins << entry.changedBy;
  EXPECT_EQ(logins, (QStringList{u"technician1"_qs, u"technician2"_qs}));

  ResultsProgram auditor(store.programFolder(u"auditor"_qs));
  EXPECT_EQ(auditor.boxes()[phb::Identifier], "乙");
  auditor.type(phb::Identifier, u"丙"_qs);
  auditor.save();
  ASSERT_EQ(auditor.messages().size(), 1);
  EXPECT_TRUE(auditor.messages()[0].contains(u"只能查看"_qs));
}

// A login that needs a password is asked for it, masked, and the window opens.
TEST(ServerWindowTest, PasswordAskedMaskedAndTheWindowOpens) {
  SKIP_WITHOUT_SERVER();
  TestStore store(Backend::Server);
  seedRecords(store, {{.identifier = u"甲"_qs}});
  ResultsProgram program(store.programFolder(u"password_user"_qs),
                         [](fakes::FakePlatform& fake) { fake.inputBox.script({u"secret-1"_qs}); });
  ASSERT_EQ(program.fake.inputBox.questions.size(), 1u);
  EXPECT_EQ(program.fake.inputBox.questions[0].defaultText, "masked");
  EXPECT_EQ(program.messages(), QStringList());
  EXPECT_EQ(program.boxes()[phb::Identifier], "甲");
}

// A sorvane.ini that can't be used: one message naming the file and the problem, the window
// opens empty, and phjz.mdb beside the program is not touched.
TEST(ServerWindowTest, UnusableSettingsGiveOneMessageAndTouchNoFile) {
  for (const char* ini :
       {"[results]\nserver = host='unclosed\n", "[Results]\n Server =\n", "\xff\xfe[results]\n"}) {
    SCOPED_TRACE(ini);
    store::testfiles::TempDatabase db;
    QFile file(db.folder() + u"/sorvane.ini"_qs);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ini);
    file.close();
    const QByteArray before = store::testfiles::fileBytes(db.path());
    ResultsProgram program(db.folder());
    ASSERT_EQ(program.messages().size(), 1);
    EXPECT_TRUE(program.messages()[0].contains(u"sorvane.ini"_qs))
        << program.messages()[0].toStdString();
    EXPECT_EQ(program.boxes(), QStringList(4));
    EXPECT_TRUE(store::testfiles::fileBytes(db.path()) == before);
  }
}

}  // namespace
}  // namespace sorvane::results
