// The record set walked on both stores, and what only the results server has: its roles,
// its checks, its format number, and a server that goes away.
#include <gtest/gtest.h>
#include <signal.h>

#include <QThread>
#include <cmath>
#include <functional>
#include <thread>

#include "store/PhbFields.h"
#include "store/ResultsSource.h"
#include "store/StoreFailures.h"
#include "store/postgres/TestServer.h"

namespace sorvane::store {
namespace {

using namespace testserver;
using Kind = StoreError::Kind;
const QString kId = QStringLiteral("标识符");

int errorOf(const std::function<void()>& action) try {
  action();
  return 0;
} catch (const StoreError& e) {
  return e.number();
}

// One step of a walk and the state it leaves: BOF, EOF, position, or the error it throws.
struct Step {
  const char* what;
  std::function<void(RecordSet&)> run;
  int error = 0;
  bool bof = false, eof = false;
  long position = -1;
};

void walk(RecordSet& set, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(errorOf([&] { step.run(set); }), step.error);
    EXPECT_EQ(set.bof(), step.bof);
    EXPECT_EQ(set.eof(), step.eof);
    EXPECT_EQ(set.absolutePosition(), step.position);
  }
}

class RecordSetWalkTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (GetParam() == Backend::Server) SKIP_WITHOUT_SERVER();
  }
};

TEST_P(RecordSetWalkTest, BofEofAndNoCurrentRecordAsTheOldEngineHadThem) {
  TestStore store(GetParam());
  const std::vector<Bookmark> ids =
      seedRecords(store, {{.identifier = "A"}, {.identifier = "B"}, {.identifier = "C"}});
  auto set = store.open();
  using namespace legacy;
  const auto nothing = [](RecordSet&) {};
  const auto field = [](RecordSet& s) { s.field(u"标识符"_qs); };
  walk(*set, {{"opened", nothing, 0, false, false, 0},
              {"previous", [](RecordSet& s) { s.movePrevious(); }, 0, true, false, -1},
              {"field before the first", field, kNoCurrentRecord, true, false, -1},
              {"previous again", [](RecordSet& s) { s.movePrevious(); }, kNoCurrentRecord, true,
               false, -1},
              {"next", [](RecordSet& s) { s.moveNext(); }, 0, false, false, 0},
              {"last", [](RecordSet& s) { s.moveLast(); }, 0, false, false, 2},
              {"next past the last", [](RecordSet& s) { s.moveNext(); }, 0, false, true, -1},
              {"next again", [](RecordSet& s) { s.moveNext(); }, kNoCurrentRecord, false, true, -1},
              {"bookmark", [&](RecordSet& s) { s.setBookmark(ids[1]); }, 0, false, false, 1},
              {"delete", [](RecordSet& s) { s.deleteCurrent(); }, 0, false, false, -1},
              {"field of the deleted", field, kRecordDeleted, false, false, -1},
              {"bookmark of the deleted", [&](RecordSet& s) { s.setBookmark(ids[1]); },
               kInvalidBookmark, false, false, -1},
              {"next after delete", [](RecordSet& s) { s.moveNext(); }, 0, false, false, 1},
              {"add new", [](RecordSet& s) { s.addNew(); }, 0, false, false, -1},
              {"delete the unsaved", [](RecordSet& s) { s.deleteCurrent(); }, kNoCurrentRecord,
               false, false, -1},
              {"first", [](RecordSet& s) { s.moveFirst(); }, 0, false, false, 0}});
  EXPECT_EQ(set->recordCount(), 2);
  EXPECT_EQ(set->fieldText(kId), "A");
  set->moveLast();
  EXPECT_EQ(set->fieldText(kId), "C");
  EXPECT_EQ(set->bookmark(), ids[2]);

  for (auto& record : {"A", "C"}) {
    (void)record;
    set->moveFirst();
    set->deleteCurrent();
  }
  set = store.open();
  walk(*set, {{"empty", nothing, 0, true, true, -1},
              {"first", [](RecordSet& s) { s.moveFirst(); }, kNoCurrentRecord, true, true, -1},
              {"next", [](RecordSet& s) { s.moveNext(); }, kNoCurrentRecord, true, true, -1},
              {"field", field, kNoCurrentRecord, true, true, -1}});
}

INSTANTIATE_TEST_SUITE_P(File, RecordSetWalkTest, testing::Values(Backend::File),
                         [](const auto& info) { return backendName(info.param); });
INSTANTIATE_TEST_SUITE_P(Server, RecordSetWalkTest, testing::Values(Backend::Server),
                         [](const auto& info) { return backendName(info.param); });

// ---- the server alone -------------------------------------------------------------------

// What one server case left: the error its action threw, if any.
struct ServerCase {
  const char* name;
  std::function<void(ServerDatabase& db)> run;  // throws StoreError when refused
  int kind = -1;                                // the refusal's kind; -1: none
  const char* message = nullptr;                // a text the message holds
};

void PrintTo(const ServerCase& c, std::ostream* os) { *os << c.name; }

class ServerCaseTest : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerCaseTest, DoesWhatTheLabsServerMust) {
  SKIP_WITHOUT_SERVER();
  const ServerCase& c = GetParam();
  ServerDatabase db;
  try {
    c.run(db);
    EXPECT_EQ(c.kind, -1) << "not refused";
  } catch (const StoreError& e) {
    EXPECT_EQ(int(e.kind()), c.kind) << e.message().toStdString();
    if (c.message)
      EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.message))) << e.message().toStdString();
  }
}

// Saves the texts as a new record as `login` and reads the record back.
QStringList savedAndReadBack(ServerDatabase& db, const QStringList& texts,
                             const QString& login = u"technician1"_qs) {
  auto set = openRecordSet({.server = db.conninfo(login)});
  set->addNew();
  for (int i = 0; i < phb::kFieldCount; ++i) set->setFieldText(phb::fieldNames()[i], texts[i]);
  set->update();
  auto again = openRecordSet({.server = db.conninfo(login)});
  again->setBookmark(*set->lastModified());
  QStringList read;
  for (const QString& name : phb::fieldNames()) read << again->fieldText(name);
  return read;
}

// A statement as a login, outside Sorvane.
void asLogin(ServerDatabase& db, const QString& login, const char* sql) {
  PgConnection(db.conninfo(login)).exec(sql);
}

// A save that the server refuses `times` times with a serialization failure (40001), counted
// by a sequence, which no rollback takes back.
void saveFailingSerially(ServerDatabase& db, int times) {
  savedAndReadBack(db, {"2024-05-01", "A", "5", "7.2"});
  db.admin().exec("CREATE SEQUENCE sorvane.tries");
  db.admin().exec(
      ("CREATE FUNCTION sorvane.fail_serially() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER"
       " AS $$BEGIN IF nextval('sorvane.tries') <= " +
       QByteArray::number(times) +
       " THEN RAISE EXCEPTION 'serialization' USING ERRCODE = '40001'; END IF; RETURN NEW; "
       "END$$")
          .constData());
  db.admin().exec(
      "CREATE TRIGGER fail_serially BEFORE UPDATE ON sorvane.phb FOR EACH ROW"
      " EXECUTE FUNCTION sorvane.fail_serially()");
  auto set = openRecordSet({.server = db.conninfo()});
  set->edit();
  set->setFieldText(u"标识符"_qs, u"B"_qs);
  set->update();
  EXPECT_EQ(openRecordSet({.server = db.conninfo()})->fieldText(u"标识符"_qs), "B");
}

// Eleven CJK characters and U+20000, outside the BMP: twelve characters.
const QString kTwelve = QStringLiteral("一二三四五六七八九十百") + QString::fromUcs4(U"\U00020000");

const ServerCase kServerCases[] = {
    {"TechnicianCannotWriteHistory",
     [](ServerDatabase& db) {
       asLogin(db, u"technician1"_qs,
               "INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by)"
               " VALUES (1, 'added', now(), 'x')");
     },
     int(Kind::ReadOnly)},
    {"TechnicianCannotPickAnId",
     [](ServerDatabase& db) {
       asLogin(db, u"technician1"_qs,
               "INSERT INTO sorvane.phb (id, 标识符) OVERRIDING SYSTEM VALUE VALUES (99, 'x')");
     },
     int(Kind::ReadOnly)},
    {"NobodyChangesTheHistory",
     [](ServerDatabase& db) {
       savedAndReadBack(db, {"2024-05-01", "A", "5", "7.2"});
       db.admin().exec("UPDATE sorvane.phb_history SET changed_by = 'someone'");
     },
     int(Kind::Unreachable), "只能追加"},
    {"AuditorBrowsesButCannotSave",
     [](ServerDatabase& db) {
       savedAndReadBack(db, {"2024-05-01", "A", "5", "7.2"});
       auto set = openRecordSet({.server = db.conninfo(u"auditor"_qs)});
       EXPECT_TRUE(set->isReadOnly());
       EXPECT_EQ(set->fieldText(u"标识符"_qs), "A");
       set->edit();
       set->setFieldText(u"标识符"_qs, u"B"_qs);
       set->update();
     },
     int(Kind::ReadOnly), "auditor"},
    {"LoginWithNeitherRoleIsNamed",
     [](ServerDatabase& db) { openRecordSet({.server = db.conninfo(u"visitor"_qs)}); },
     int(Kind::NoAccess), "“visitor”"},
    {"UnknownFormatRefused",
     [](ServerDatabase& db) {
       db.admin().exec("UPDATE sorvane.schema_version SET version = 2");
       openRecordSet({.server = db.conninfo()});
     },
     int(Kind::NotADatabase), "格式 2"},
    {"TwelveCharactersOutsideTheBmpStored",
     [](ServerDatabase& db) {
       EXPECT_EQ(savedAndReadBack(db, {"2024-05-01", kTwelve, "5", "7.2"})[1], kTwelve);
     }},
    {"ThirteenCharactersRefusedByTheServer",
     [](ServerDatabase& db) {
       asLogin(db, u"technician1"_qs,
               "INSERT INTO sorvane.phb (标识符) VALUES ('一二三四五六七八九十百𠀀万')");
     },
     int(Kind::RefusedValue)},
    {"TrailingBlanksKept",
     [](ServerDatabase& db) {
       EXPECT_EQ(savedAndReadBack(db, {"2024-05-01", "A  ", "5", "7.2"})[1], "A  ");
     }},
    {"NaNRefused",
     [](ServerDatabase& db) {
       asLogin(db, u"technician1"_qs, "INSERT INTO sorvane.phb (样本数) VALUES ('NaN')");
     },
     int(Kind::RefusedValue)},
    {"InfinityRefused",
     [](ServerDatabase& db) {
       asLogin(db, u"technician1"_qs, "INSERT INTO sorvane.phb (pH均值) VALUES ('-Infinity')");
     },
     int(Kind::RefusedValue)},
    {"LockHeldElsewhereEndsLikeTheFilesBusyWait",
     [](ServerDatabase& db) {
       savedAndReadBack(db, {"2024-05-01", "A", "5", "7.2"});
       PgConnection other(db.conninfo(u"technician2"_qs));
       other.exec("BEGIN");
       other.exec("UPDATE sorvane.phb SET 样本数 = 6");
       auto set = openRecordSet({.server = db.conninfo()});
       set->edit();
       set->setFieldText(u"标识符"_qs, u"B"_qs);
       set->update();
     },
     int(Kind::Locked)},
    {"SerializationFailuresRetriedThreeTimes",
     [](ServerDatabase& db) { saveFailingSerially(db, 3); }},
    {"FourthSerializationFailureEndsAsLocked",
     [](ServerDatabase& db) { saveFailingSerially(db, 4); }, int(Kind::Locked)},
    {"PasswordAskedOnceAndUsed",
     [](ServerDatabase& db) {
       QStringList asked;
       const auto answer = [&](const QString& server) -> std::optional<QString> {
         asked << server;
         return u"secret-1"_qs;
       };
       EXPECT_EQ(openRecordSet({.server = db.conninfo(u"password_user"_qs), .askPassword = answer})
                     ->recordCount(),
                 0);
       EXPECT_EQ(asked.size(), 1);
       EXPECT_TRUE(asked.value(0).contains(db.folder()));
     }},
    {"WrongPasswordRefused",
     [](ServerDatabase& db) {
       openRecordSet({.server = db.conninfo(u"password_user"_qs),
                      .askPassword = [](const QString&) { return u"wrong"_qs; }});
     },
     int(Kind::Unreachable), "password_user"},
    {"ScriptRunAgainChangesNothing",
     [](ServerDatabase& db) {
       savedAndReadBack(db, {"2024-05-01", "A", "5", "7.2"});
       QProcess psql;
       psql.start("psql", {"-X", "-q", "-h", db.folder(), "-U", "postgres", "-d",
                           db.conninfo().section(u' ', 1, 1).mid(7), "-f", SORVANE_SERVER_SQL});
       ASSERT_TRUE(psql.waitForFinished());
       EXPECT_EQ(psql.exitCode(), 0);
       EXPECT_TRUE(psql.readAllStandardOutput().contains("没有作任何改动"));
       const PgResult rows = db.admin().exec(
           "SELECT (SELECT count(*) FROM sorvane.phb), (SELECT count(*) FROM"
           " sorvane.phb_history), (SELECT version FROM sorvane.schema_version)");
       EXPECT_EQ(rows.int64(0, 0), 1);
       EXPECT_EQ(rows.int64(0, 1), 1);
       EXPECT_EQ(rows.value(0, 2).toInt(), 1);
     }},
};

INSTANTIATE_TEST_SUITE_P(Server, ServerCaseTest, testing::ValuesIn(kServerCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a server that goes away ------------------------------------------------------------

TEST(ServerGoneTest, StoppedBeforeOpeningNamesTheServerNeverThePassword) {
  SKIP_WITHOUT_SERVER();
  OwnServer server;
  const QString conninfo = ServerDatabase(server.folder()).conninfo() + u" password=hunter2"_qs;
  server.kill();
  try {
    openRecordSet({.server = conninfo});
    ADD_FAILURE() << "opened";
  } catch (const StoreError& e) {
    EXPECT_EQ(e.kind(), Kind::Unreachable);
    EXPECT_TRUE(e.message().contains(server.folder())) << e.message().toStdString();
    EXPECT_FALSE(e.message().contains(u"hunter2"_qs));
  }
}

// Killed mid-session with an edit pending: one message, the edit stays; once the server is
// back, browsing reconnects quietly and the save goes through. Nothing stored is lost.
TEST(ServerGoneTest, KilledMidSessionKeepsTheEditsAndLosesNothing) {
  SKIP_WITHOUT_SERVER();
  OwnServer server;
  ServerDatabase db(server.folder());
  auto seed = openRecordSet({.server = db.conninfo()});
  for (const char* id : {"A", "B"}) {
    seed->addNew();
    seed->setFieldText(kId, QString::fromUtf8(id));
    seed->update();
  }
  auto set = openRecordSet({.server = db.conninfo()});
  set->edit();
  set->setFieldText(kId, u"A2"_qs);
  server.kill();
  try {
    set->update();
    ADD_FAILURE() << "saved with the server gone";
  } catch (const StoreError& e) {  // told to save again, not to refresh the edits away
    EXPECT_EQ(e.message(), failures::connectionLost(db.conninfo().section(u' ', 0, 1)).message());
  }
  EXPECT_EQ(set->editMode(), RecordSet::EditMode::Edit);
  EXPECT_EQ(set->fieldText(kId), "A2");
  server.restart();
  set->update();
  // Gone and back while browsing: the next read reconnects quietly.
  server.kill();
  server.restart();
  set->moveLast();
  EXPECT_EQ(set->fieldText(kId), "B");
  auto fresh = openRecordSet({.server = db.conninfo()});
  EXPECT_EQ(fresh->recordCount(), 2);
  EXPECT_EQ(fresh->fieldText(kId), "A2");
}

// ---- a COMMIT whose answer never came -----------------------------------------------------

// How the connection goes while the server is in the middle of the save's COMMIT.
enum class Cut {
  AfterCommitting,  // committed, waiting for a standby that never comes; backend ended
  WhileCommitting,  // a deferred check still running at COMMIT; backend ended: aborted
  ServerGone,       // the server killed and not started again within the wait
};

struct CommitCase {
  const char* name;
  Cut cut;
  int kind;            // the error's kind; -1: saved
  const char* stored;  // the identifier stored afterwards
};

void PrintTo(const CommitCase& c, std::ostream* os) { *os << c.name; }

// Waits for the save to reach COMMIT, then cuts it off as `cut` says.
void cut(Cut cut, ServerDatabase& db, OwnServer& server) {
  PgConnection watch(db.conninfo(u"postgres"_qs));
  for (int tries = 0; tries < 200; ++tries, QThread::msleep(50)) {
    const PgResult pid = watch.exec(
        "SELECT pid FROM pg_stat_activity WHERE application_name = 'Sorvane'"
        " AND query = 'COMMIT' AND state = 'active'");
    if (pid.rows() == 0) continue;
    if (cut == Cut::ServerGone) return server.kill();
    watch.exec("SELECT pg_terminate_backend($1::integer)", PgParams().add(pid.value(0, 0)));
    return;
  }
  ADD_FAILURE() << "the save never reached COMMIT";
}

class CommitCutTest : public testing::TestWithParam<CommitCase> {};

TEST_P(CommitCutTest, SavedOnlyWhenTheServerSaysSo) {
  SKIP_WITHOUT_SERVER();
  const CommitCase& c = GetParam();
  OwnServer server;
  ServerDatabase db(server.folder());
  {
    auto seed = openRecordSet({.server = db.conninfo()});
    seed->addNew();
    seed->setFieldText(kId, u"A"_qs);
    seed->update();
  }
  if (c.cut == Cut::WhileCommitting) {
    db.admin().exec(
        "CREATE FUNCTION sorvane.slow() RETURNS trigger LANGUAGE plpgsql AS"
        " $$BEGIN PERFORM pg_sleep(30); RETURN NULL; END$$");
    db.admin().exec(
        "CREATE CONSTRAINT TRIGGER slow AFTER UPDATE ON sorvane.phb DEFERRABLE INITIALLY"
        " DEFERRED FOR EACH ROW EXECUTE FUNCTION sorvane.slow()");
  } else {
    db.admin().exec("ALTER SYSTEM SET synchronous_standby_names = 'nobody'");
    db.admin().exec("SELECT pg_reload_conf()");
    // The reload is asynchronous: wait until a new session has the setting.
    for (int tries = 0; tries < 100; ++tries, QThread::msleep(50))
      if (db.admin()
              .exec("SELECT current_setting('synchronous_standby_names') = 'nobody'")
              .value(0, 0)
              .toBool())
        break;
  }
  auto set = openRecordSet({.server = db.conninfo()});
  set->edit();
  set->setFieldText(kId, u"B"_qs);

  std::thread cutter([&] {
    try {
      cut(c.cut, db, server);
    } catch (const StoreError& e) {
      ADD_FAILURE() << e.message().toStdString();
    }
  });
  int kind = -1;
  try {
    set->update();
  } catch (const StoreError& e) {
    kind = int(e.kind());
  }
  cutter.join();
  EXPECT_EQ(kind, c.kind);
  // Not known to be saved: the edit stays pending.
  EXPECT_EQ(set->editMode(), c.kind < 0 ? RecordSet::EditMode::None : RecordSet::EditMode::Edit);
  if (c.cut == Cut::ServerGone) server.restart();
  db.admin().exec("ALTER SYSTEM RESET synchronous_standby_names");
  db.admin().exec("SELECT pg_reload_conf()");
  EXPECT_EQ(openRecordSet({.server = db.conninfo()})->fieldText(kId), c.stored);
}

const CommitCase kCommitCases[] = {
    {"CommittedBeforeTheCut", Cut::AfterCommitting, -1, "B"},
    {"AbortedByTheCut", Cut::WhileCommitting, int(Kind::Unreachable), "A"},
    // The commit record was written before the server went: it is there once it is back.
    {"ServerGoneForLongerThanTheWait", Cut::ServerGone, int(Kind::OutcomeUnknown), "B"},
};

INSTANTIATE_TEST_SUITE_P(Server, CommitCutTest, testing::ValuesIn(kCommitCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::store
