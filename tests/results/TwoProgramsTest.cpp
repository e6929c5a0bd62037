// Two results windows on one store, as two running programs have it: on one phjz.mdb, or on
// one results server as two benches logged in as two technicians. A write over a record that
// the other program changed or deleted since it was shown is refused: one message, the typed
// edits and the record stay, and the store is left as it was.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <functional>
#include <ostream>
#include <string>

#include "ResultsProgram.h"
#include "store/PhbFields.h"
#include "store/StoreFailures.h"
#include "store/StoreTestFiles.h"
#include "store/postgres/TestServer.h"
#include "store/sqlite/SqliteConnection.h"

namespace sorvane::results {
namespace {

namespace phb = store::phb;
namespace testfiles = store::testfiles;
namespace testserver = store::testserver;
using testserver::Backend;

using Program = ResultsProgram;

enum class Refusal { None, Changed, Deleted };

struct Interleaving {
  const char* name;
  std::function<void(Program& here, Program& other)> before;
  Refusal refusal;
  void (Program::*road)() = &Program::save;  // next(): saved on leaving
  bool onLastRecord = false;
  bool earlierBuildsFile = false;
  friend void PrintTo(const Interleaving& c, std::ostream* os) { *os << c.name; }
};

class TwoProgramsTest : public testing::TestWithParam<std::tuple<Backend, Interleaving>> {};

// Both programs show the same record of 甲, 乙, 丙; `before` runs; then `here` types a mean
// and writes by the road.
TEST_P(TwoProgramsTest, TheSecondWriteOverAChangedRecordIsRefused) {
  const auto& [backend, c] = GetParam();
  if (backend == Backend::Server) SKIP_WITHOUT_SERVER();
  testserver::TestStore store(backend);
  if (c.earlierBuildsFile) testfiles::makeEarlierBuildsFile(store.source().path);
  testserver::seedRecords(store, {{.identifier = QStringLiteral("甲")},
                                  {.identifier = QStringLiteral("乙")},
                                  {.identifier = QStringLiteral("丙")}});
  Program other(store.programFolder(QStringLiteral("technician2"))),
      here(store.programFolder(QStringLiteral("technician1")));
  if (c.onLastRecord) {
    here.window->Data1->Recordset().moveLast();
    other.window->Data1->Recordset().moveLast();
  }
  const QDateTime start = QDateTime::currentDateTime();
  c.before(here, other);
  const QDateTime end = QDateTime::currentDateTime();

  here.type(phb::Mean, QStringLiteral("6.5"));
  const QStringList typed = here.boxes();
  const QString caption = here.window->Data1->Caption();
  const qsizetype messagesBefore = here.messages().size();
  const QByteArray fileBefore = store.contents();
  (here.*c.road)();
  const QStringList messages = here.messages().mid(messagesBefore);

  if (c.refusal == Refusal::None) {
    EXPECT_EQ(messages, QStringList());
    EXPECT_NE(store.contents(), fileBefore);
    return;
  }
  // The message names the other program's login and the minute it wrote, from the history.
  const QString login = backend == Backend::Server
                            ? QStringLiteral("technician2")
                            : QString::fromLocal8Bit(getpwuid(geteuid())->pw_name);
  QStringList expected;
  for (const QDateTime& at : {start, end}) {
    const store::failures::LastChange who{login, at};
    expected << (c.refusal == Refusal::Changed ? store::failures::changedElsewhere(who)
                                               : store::failures::deletedElsewhere(who))
                    .message();
    // The navigator's own move reports through its Error event.
    if (c.road == &Program::next) expected.last().prepend(QStringLiteral("数据错误事件命中错误："));
  }
  ASSERT_EQ(messages.size(), 1) << messages.join(u'\n').toStdString();
  EXPECT_TRUE(expected.contains(messages[0])) << messages[0].toStdString();
  EXPECT_EQ(here.boxes(), typed);
  EXPECT_EQ(here.window->Data1->Caption(), caption);
  EXPECT_TRUE(store.contents() == fileBefore) << "the store changed";
}

void otherEditsIdentifier(Program&, Program& other) {
  other.type(phb::Identifier, QStringLiteral("甲二"));
  other.save();
}

void otherDeletes(Program&, Program& other) { other.erase(); }

// The last record goes and a new one is saved, which may take its id.
void otherReplacesTheLastRecord(Program&, Program& other) {
  other.erase();
  other.window->cmdAdd->click();
  other.type(phb::Identifier, QStringLiteral("丁"));
  other.save();
}

const Interleaving kInterleavings[] = {
    Interleaving{"EditAfterTheOthersEdit", otherEditsIdentifier, Refusal::Changed},
    Interleaving{"EditSavedOnLeaving", otherEditsIdentifier, Refusal::Changed, &Program::next},
    Interleaving{"DeleteAfterTheOthersEdit", otherEditsIdentifier, Refusal::Changed,
                 &Program::erase},
    Interleaving{"EditAfterTheOthersDelete", otherDeletes, Refusal::Deleted},
    Interleaving{"EditOfADeletedRecordWhoseIdCouldBeTaken", otherReplacesTheLastRecord,
                 Refusal::Deleted, &Program::save, true},
    // An earlier build's file hands the id out again; the changed values give it away.
    Interleaving{"EditOfADeletedRecordWhoseIdWasTaken", otherReplacesTheLastRecord,
                 Refusal::Changed, &Program::save, true, true},
    Interleaving{"OtherRecordEdited",
                 [](Program&, Program& other) {
                   other.next();
                   otherEditsIdentifier(other, other);
                 },
                 Refusal::None},
    Interleaving{"SecondSaveOfItsOwnEdit",
                 [](Program& here, Program&) {
                   here.type(phb::Identifier, QStringLiteral("甲二"));
                   here.save();
                 },
                 Refusal::None}};

// The earlier build's file is the file's own case: a server never hands an id out twice.
std::vector<Interleaving> serverInterleavings() {
  std::vector<Interleaving> cases;
  for (const Interleaving& c : kInterleavings)
    if (!c.earlierBuildsFile) cases.push_back(c);
  return cases;
}

std::string interleavingName(const testing::TestParamInfo<TwoProgramsTest::ParamType>& info) {
  return std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Interleavings, TwoProgramsTest,
                         testing::Combine(testing::Values(Backend::File),
                                          testing::ValuesIn(kInterleavings)),
                         interleavingName);
INSTANTIATE_TEST_SUITE_P(Server, TwoProgramsTest,
                         testing::Combine(testing::Values(Backend::Server),
                                          testing::ValuesIn(serverInterleavings())),
                         interleavingName);

}  // namespace
}  // namespace sorvane::results
