// The change history in phb_history, on copies of the empty results database.
#include "store/sqlite/HistoryLog.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>
#include <QRegularExpression>

#include <QDate>
#include <QSet>
#include <QTimeZone>
#include <functional>

#include "store/RecordSet.h"
#include "store/StoreTestFiles.h"
#include "store/postgres/TestServer.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store {
namespace {

using namespace testfiles;
using Access = SqliteConnection::Access;

RecordValues values(QVariant date, QVariant id, QVariant count, QVariant mean) {
  return {std::move(date), std::move(id), std::move(count), std::move(mean)};
}

const RecordValues kSeeded = values(QDate(2024, 5, 1), "A", 5.0, 7.2);

long count(const QString& path, const char* sql = "SELECT count(*) FROM phb_history") {
  SqliteConnection db(path, Access::ReadOnly);
  SqliteStatement query(db, sql);
  query.step();
  return static_cast<long>(query.columnInt64(0));
}

// A file as the builds before the history made it: phb alone.
// A format 2 file, made before the history or its number were kept.
void dropHistory(const QString& path) {
  SqliteConnection(path, Access::ReadWrite).exec("DROP TABLE phb_history; PRAGMA user_version = 0");
}

std::function<void(RecordSet&)> editField(int field, QString text) {
  return [field, text](RecordSet& set) {
    set.edit();
    set.setFieldText(phb::fieldNames()[field], text);
    set.update();
  };
}

// One action on record "A" and the history row it must leave; `written` false when the
// action changed nothing.
struct Action {
  const char* name;
  std::function<void(RecordSet&)> run;
  HistoryAction action;
  std::optional<RecordValues> before;
  std::optional<RecordValues> after;
  bool written = true;
};

void PrintTo(const Action& action, std::ostream* os) { *os << action.name; }

// Runs on both stores: the file's history names the system login, the server's the
// database login.
class HistoryActionTest : public testing::TestWithParam<std::tuple<testserver::Backend, Action>> {};

TEST_P(HistoryActionTest, WritesExactlyOneRowWithBeforeAndAfter) {
  const auto& [backend, c] = GetParam();
  if (backend == testserver::Backend::Server) SKIP_WITHOUT_SERVER();
  testserver::TestStore store(backend);
  testserver::seedRecords(store, {{.identifier = u"A"_qs}});
  auto set = store.open();
  const Bookmark id = *set->bookmark();
  const long rowsBefore = store.historyRows();
  // Who: the user the program runs as, not $USER, which anyone can set. When: now.
  const QByteArray user = qgetenv("USER");
  qputenv("USER", "someone-else");
  const QDateTime start = QDateTime::currentDateTime().addMSecs(-999);
  c.run(*set);
  const QDateTime end = QDateTime::currentDateTime();
  qputenv("USER", user);

  const Bookmark target = c.action == HistoryAction::Added ? *set->lastModified() : id;
  ASSERT_EQ(store.historyRows() - rowsBefore, c.written ? 1 : 0);
  if (!c.written) return;
  const HistoryEntry last = readHistory(store.source(), target).back();
  EXPECT_EQ(last.recordId, target);
  EXPECT_EQ(last.action, c.action);
  EXPECT_EQ(last.before, c.before);
  EXPECT_EQ(last.after, c.after);
  EXPECT_EQ(last.changedBy, backend == testserver::Backend::File
                                ? QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)
                                : u"technician1"_qs);
  // Always with its offset, +00:00 included, so the instant reads back the same anywhere.
  EXPECT_TRUE(QRegularExpression(uR"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)"_qs)
                  .match(last.changedAt)
                  .hasMatch())
      << last.changedAt.toStdString();
  const QDateTime at = QDateTime::fromString(last.changedAt, Qt::ISODate);
  EXPECT_TRUE(start <= at && at <= end) << last.changedAt.toStdString();
  EXPECT_EQ(at.offsetFromUtc(), end.offsetFromUtc());  // local time, not UTC
}

const Action kActions[] = {
    {"Add",
     [](RecordSet& set) {
       set.addNew();
       set.setFieldText(u"标识符"_qs, u"B"_qs);
       set.setFieldText(u"pH均值"_qs, u"6.5"_qs);
       set.update();
     },
     HistoryAction::Added, std::nullopt, values({}, "B", {}, 6.5)},
    {"EditIdentifierQuoted", editField(phb::Identifier, u"');DELETE--"_qs), HistoryAction::Changed,
     kSeeded, values(QDate(2024, 5, 1), "');DELETE--", 5.0, 7.2)},
    {"EditEmptyingAField", editField(phb::Mean, u""_qs), HistoryAction::Changed, kSeeded,
     values(QDate(2024, 5, 1), "A", 5.0, {})},
    {"SaveWithoutChange", editField(phb::Mean, u"7.20"_qs), HistoryAction::Changed, kSeeded,
     kSeeded, false},
    {"Delete", [](RecordSet& set) { set.deleteCurrent(); }, HistoryAction::Deleted, kSeeded,
     std::nullopt}};

std::string actionName(const testing::TestParamInfo<HistoryActionTest::ParamType>& info) {
  return std::get<1>(info.param).name;
}
INSTANTIATE_TEST_SUITE_P(File, HistoryActionTest,
                         testing::Combine(testing::Values(testserver::Backend::File),
                                          testing::ValuesIn(kActions)),
                         actionName);
INSTANTIATE_TEST_SUITE_P(Server, HistoryActionTest,
                         testing::Combine(testing::Values(testserver::Backend::Server),
                                          testing::ValuesIn(kActions)),
                         actionName);

TEST(IsoWithOffsetTest, SecondsAndTheOffsetAlwaysWrittenOut) {
  const struct {
    int offset;
    QTime time;
    const char* text;
  } cases[] = {{-(3 * 3600 + 1800), QTime(3, 4, 5, 999), "2024-01-02T03:04:05-03:30"},
               {0, QTime(0, 0), "2024-01-02T00:00:00+00:00"},
               {-1800, QTime(12, 0), "2024-01-02T12:00:00-00:30"},
               {5 * 3600 + 2700, QTime(23, 59, 59), "2024-01-02T23:59:59+05:45"}};
  for (const auto& c : cases) {
    const QDateTime when(QDate(2024, 1, 2), c.time, QTimeZone(c.offset));
    EXPECT_EQ(isoWithOffset(when), c.text);
    // Read back as the same instant, to the second it was written with.
    EXPECT_EQ(instantFromIso(c.text), when.addMSecs(-c.time.msec()).toUTC()) << c.text;
  }
  // Another tool's forms with an offset are read too; without one the instant is unknown.
  EXPECT_EQ(instantFromIso(u"2024-01-02T03:04:05.250Z"_qs),
            QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 250), Qt::UTC));
  EXPECT_EQ(instantFromIso(u"2024-01-02T03:04:05"_qs), std::nullopt);
  EXPECT_EQ(instantFromIso(u"2024-02-30T03:04:05+08:00"_qs), std::nullopt);
}

// Another program's statements on the history; each fails and the file stays as it was.
TEST(HistoryTest, FileRefusesToChangeOrRemoveHistoryRows) {
  TempDatabase db;
  seedRecords(db.path(), {{.identifier = u"A"_qs}, {.identifier = u"B"_qs}});
  const QByteArray before = fileBytes(db.path());
  for (const char* sql :
       {"UPDATE phb_history SET changed_by = 'someone'", "DELETE FROM phb_history WHERE id = 2",
        "INSERT OR REPLACE INTO phb_history (id, record_id, action, changed_at, changed_by) "
        "VALUES (1, 1, 'added', 'x', 'y')",
        "INSERT INTO phb_history (id, record_id, action, changed_at, changed_by) "
        "VALUES (1, 1, 'added', 'x', 'y') ON CONFLICT (id) DO UPDATE SET changed_by = 'y'"}) {
    SqliteConnection other(db.path(), Access::ReadWrite);
    EXPECT_THROW(other.exec(sql), StoreError) << sql;
    other.close();
    EXPECT_TRUE(fileBytes(db.path()) == before) << sql;
  }
}

TEST(HistoryTest, FileFromAnEarlierBuildGainsTheTableOnItsFirstChangeOnly) {
  TempDatabase db, reference;
  seedRecords(db.path(), {{.identifier = u"A"_qs}, {.identifier = u"B"_qs}});
  dropHistory(db.path());
  const QByteArray earlier = fileBytes(db.path());
  const QStringList earlierSchema = schema(db.path());
  {  // browsing, reading the history and a refused save leave the file alone
    auto set = RecordSet::open(db.path());
    EXPECT_TRUE(readHistory(db.path(), *set->bookmark()).empty());
    EXPECT_THROW(editField(phb::SampleCount, u"many"_qs)(*set), StoreError);
  }
  EXPECT_TRUE(fileBytes(db.path()) == earlier);

  auto set = RecordSet::open(db.path());
  editField(phb::Identifier, u"A2"_qs)(*set);
  // The history's table, index and triggers as a new file has them, and nothing else.
  QStringList gained = schema(db.path()), expected = schema(reference.path());
  gained.removeIf([&](const QString& e) { return earlierSchema.contains(e); });
  expected.removeIf([](const QString& e) { return !e.contains(u"|phb_history|"_qs); });
  EXPECT_EQ(gained, expected);
  EXPECT_EQ(expected.size(), 5);
  const std::vector<HistoryEntry> entries = readHistory(db.path(), *set->bookmark());
  ASSERT_EQ(entries.size(), 1u);  // records saved before the table existed have no past
  EXPECT_EQ(entries[0].before, kSeeded);
  EXPECT_EQ(count(db.path()), 1);
}

// A write that fails inside its transaction (the record is gone, or the file is held by
// another program) takes its history row, and on an earlier file the new table, with it.
TEST(HistoryTest, RefusedWriteLeavesNoHistory) {
  for (const char* other : {"DELETE FROM phb WHERE 标识符 = 'A'", "BEGIN IMMEDIATE"}) {
    SCOPED_TRACE(other);
    TempDatabase db;
    seedRecords(db.path(), {{.identifier = u"A"_qs}});
    dropHistory(db.path());
    auto set = RecordSet::open(db.path());
    set->edit();
    set->setFieldText(u"标识符"_qs, u"B"_qs);
    SqliteConnection program(db.path(), Access::ReadWrite);
    program.exec(other);
    const QByteArray held = fileBytes(db.path());
    EXPECT_THROW(set->update(), StoreError);
    program.close();
    EXPECT_TRUE(fileBytes(db.path()) == held);
  }
}

// A history row that cannot be written takes its change with it: nothing is stored without
// its row, whichever write it is.
TEST(HistoryTest, ChangeWhoseRowIsRefusedIsNotStored) {
  const std::pair<const char*, std::function<void(RecordSet&)>> writes[] = {
      {"Add",
       [](RecordSet& set) {
         set.addNew();
         set.setFieldText(u"标识符"_qs, u"B"_qs);
         set.update();
       }},
      {"Edit", editField(phb::Identifier, u"B"_qs)},
      {"Delete", [](RecordSet& set) { set.deleteCurrent(); }}};
  for (const auto& [name, write] : writes) {
    SCOPED_TRACE(name);
    TempDatabase db;
    seedRecords(db.path(), {{.identifier = u"A"_qs}});
    SqliteConnection(db.path(), Access::ReadWrite)
        .exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON phb_history BEGIN "
            "SELECT RAISE(ABORT, 'no room'); END");
    const QByteArray before = fileBytes(db.path());
    auto set = RecordSet::open(db.path());
    EXPECT_THROW(write(*set), StoreError);
    EXPECT_TRUE(fileBytes(db.path()) == before);
  }
}

// A saving program killed at any moment leaves each record and its history in step: every
// stored record's last history row holds exactly its values, and every record that is gone
// ends in a deleted row.
TEST(HistoryTest, KilledSavesLeaveChangeAndHistoryTogetherOrNeither) {
  qsizetype deletions = 0;
  // The last, long run makes sure some deletions happen on a busy machine too.
  for (const int delayMs : {15, 40, 90, 160, 600}) {
    TempDatabase db;
    const bool killed = diesKilled(
        [&] {
          auto set = RecordSet::open(db.path());
          for (int i = 0;; ++i) {
            set->addNew();
            set->setFieldText(u"标识符"_qs, QString::number(i));
            set->update();
            set->setBookmark(*set->lastModified());
            editField(phb::Mean, QString::number(7 + i % 10 / 10.0))(*set);
            if (i % 3 == 0) set->deleteCurrent();
          }
        },
        delayMs);
    ASSERT_TRUE(killed) << "the saving loop ended on its own";

    auto set = RecordSet::open(db.path());
    QSet<Bookmark> stored;
    for (; set->recordCount() > 0 && !set->eof(); set->moveNext()) {
      const Bookmark id = *set->bookmark();
      stored.insert(id);
      const std::vector<HistoryEntry> entries = readHistory(db.path(), id);
      ASSERT_FALSE(entries.empty()) << delayMs << " ms: record " << id << " without history";
      RecordValues now;
      for (int i = 0; i < phb::kFieldCount; ++i) now[i] = set->field(phb::fieldNames()[i]);
      EXPECT_EQ(entries.back().after, now) << delayMs << " ms: record " << id;
    }
    SqliteConnection file(db.path(), Access::ReadOnly);
    SqliteStatement told(file, "SELECT DISTINCT record_id FROM phb_history");
    while (told.step()) {
      const Bookmark id = told.columnInt64(0);
      if (stored.contains(id)) continue;
      ++deletions;
      EXPECT_EQ(readHistory(db.path(), id).back().action, HistoryAction::Deleted)
          << delayMs << " ms: record " << id << " is gone without a deleted row";
    }
  }
  EXPECT_GT(deletions, 0) << "no run got as far as a deletion";
}

}  // namespace
}  // namespace sorvane::store
