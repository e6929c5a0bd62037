// The change history in phb_history, on copies of the empty results database.
#include "store/History.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDate>
#include <QSet>
#include <QThread>
#include <QTimeZone>
#include <functional>
#include <map>

#include "store/RecordSet.h"
#include "store/SqliteConnection.h"
#include "store/SqliteStatement.h"
#include "store/SqliteTransaction.h"
#include "store/StoreTestFiles.h"

namespace sorvane::store {
namespace {

using namespace testfiles;
using Access = SqliteConnection::Access;
using Behaviour = SqliteTransaction::Behaviour;

const QDateTime kWhen(QDate(2024, 5, 6), QTime(14, 3, 12, 480), QTimeZone(8 * 3600));

// Every history row in this suite says "lab-tech" at kWhen unless a test says otherwise.
class HistoryTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = HistoryLog::setSources(
        {[] { return QStringLiteral("lab-tech"); }, [this] { return when; }});
  }
  void TearDown() override { HistoryLog::setSources(previous_); }

  QDateTime when = kWhen;

 private:
  HistorySources previous_;
};

RecordValues values(QVariant date, QVariant id, QVariant count, QVariant mean) {
  return {std::move(date), std::move(id), std::move(count), std::move(mean)};
}

const RecordValues kSeeded = values(QDate(2024, 5, 1), "A", 5.0, 7.2);

long count(const QString& path, const char* sql) {
  SqliteConnection db(path, Access::ReadOnly);
  SqliteStatement query(db, sql);
  query.step();
  return static_cast<long>(query.columnInt64(0));
}

long historyRows(const QString& path) { return count(path, "SELECT count(*) FROM phb_history"); }

// The schema as the file states it, blanks folded, so a file can be set beside the template.
QStringList schema(const QString& path) {
  SqliteConnection db(path, Access::ReadOnly);
  SqliteStatement query(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name");
  QStringList entries;
  while (query.step())
    entries << QStringList{query.columnText(0), query.columnText(1), query.columnText(2),
                           query.columnText(3).simplified()}
                   .join(u'|');
  return entries;
}

// A file as the builds before the history made it: phb alone.
void dropHistory(const QString& path) {
  SqliteConnection(path, Access::ReadWrite).exec("DROP TABLE phb_history");
}

// One action on record "A" (seeded, then current) and the history row it must leave:
// `after` none for a deletion; `written` false when the action changed nothing.
struct Action {
  const char* name;
  std::function<void(RecordSet&)> run;
  HistoryAction action;
  std::optional<RecordValues> before;
  std::optional<RecordValues> after;
  bool written = true;
};

void PrintTo(const Action& action, std::ostream* os) { *os << action.name; }

std::function<void(RecordSet&)> editField(int field, QString text) {
  return [field, text](RecordSet& set) {
    set.edit();
    set.setFieldText(phb::fieldNames()[field], text);
    set.update();
  };
}

class HistoryActionTest : public HistoryTest, public testing::WithParamInterface<Action> {};

TEST_P(HistoryActionTest, WritesExactlyOneRowWithBeforeAndAfter) {
  const Action& c = GetParam();
  TempDatabase db;
  seedRecords(db.path(), {{.identifier = u"A"_qs}});
  auto set = RecordSet::open(db.path());
  const Bookmark id = *set->bookmark();
  const long rowsBefore = historyRows(db.path());

  c.run(*set);

  const Bookmark target = c.action == HistoryAction::Added ? *set->lastModified() : id;
  const std::vector<HistoryEntry> entries = readHistory(db.path(), target);
  ASSERT_EQ(historyRows(db.path()) - rowsBefore, c.written ? 1 : 0);
  if (!c.written) return;
  const HistoryEntry& last = entries.back();
  EXPECT_EQ(last.recordId, target);
  EXPECT_EQ(last.action, c.action);
  EXPECT_EQ(last.before, c.before);
  EXPECT_EQ(last.after, c.after);
  EXPECT_EQ(last.changedAt, u"2024-05-06T14:03:12+08:00"_qs);
  EXPECT_EQ(last.changedBy, u"lab-tech"_qs);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, HistoryActionTest,
    testing::Values(
        Action{"add",
               [](RecordSet& set) {
                 set.addNew();
                 set.setFieldText(u"标识符"_qs, u"B"_qs);
                 set.setFieldText(u"pH均值"_qs, u"6.5"_qs);
                 set.update();
               },
               HistoryAction::Added, std::nullopt, values({}, "B", {}, 6.5)},
        Action{"edit_date", editField(phb::Date, u"2024-06-30"_qs), HistoryAction::Changed, kSeeded,
               values(QDate(2024, 6, 30), "A", 5.0, 7.2)},
        Action{"edit_identifier", editField(phb::Identifier, u"一二三"_qs), HistoryAction::Changed,
               kSeeded, values(QDate(2024, 5, 1), "一二三", 5.0, 7.2)},
        Action{"edit_count", editField(phb::SampleCount, u"12"_qs), HistoryAction::Changed, kSeeded,
               values(QDate(2024, 5, 1), "A", 12.0, 7.2)},
        Action{"edit_mean", editField(phb::Mean, u"7.26"_qs), HistoryAction::Changed, kSeeded,
               values(QDate(2024, 5, 1), "A", 5.0, 7.26)},
        Action{"edit_emptying_a_field", editField(phb::Mean, u""_qs), HistoryAction::Changed,
               kSeeded, values(QDate(2024, 5, 1), "A", 5.0, {})},
        Action{"save_without_change", editField(phb::Mean, u"7.20"_qs), HistoryAction::Changed,
               kSeeded, kSeeded, false},
        Action{"delete", [](RecordSet& set) { set.deleteCurrent(); }, HistoryAction::Deleted,
               kSeeded, std::nullopt}),
    [](const testing::TestParamInfo<Action>& info) { return std::string(info.param.name); });

// The conversion writes its records into phb itself and logs each in its own transaction.
TEST_F(HistoryTest, ConvertedRowsCarryTheValuesAsStoredAndFallWithTheirTransaction) {
  const std::vector<RecordValues> rows{
      values(QDate(2003, 12, 31), "W-01", 8.0, 6.95),
      values({}, {}, {}, {}),
      values(QDate(2004, 2, 29), "一二三四五六七八九十一二", 1.0, 14.0),
  };
  TempDatabase db;
  for (const bool commit : {false, true}) {
    SqliteConnection file(db.path(), Access::ReadWrite);
    SqliteTransaction transaction(file, Behaviour::Immediate);
    HistoryLog history(file);
    SqliteStatement insert(file, "INSERT INTO phb VALUES (?1, ?2, ?3, ?4)");
    std::vector<Bookmark> ids;
    for (const RecordValues& row : rows) {
      for (int i = 0; i < phb::kFieldCount; ++i) insert.bind(i + 1, row[i]);
      insert.step();
      insert.reset();
      ids.push_back(file.lastInsertRowId());
      history.converted(ids.back());
    }
    if (!commit) continue;  // rolled back: neither records nor history
    EXPECT_EQ(historyRows(db.path()), 0);
    transaction.commit();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::vector<HistoryEntry> entries = readHistory(db.path(), ids[i]);
      ASSERT_EQ(entries.size(), 1u) << i;
      EXPECT_EQ(entries[0].action, HistoryAction::Converted);
      EXPECT_EQ(entries[0].before, std::nullopt);
      EXPECT_EQ(entries[0].after, rows[i]) << i;
    }
  }
  EXPECT_EQ(historyRows(db.path()), 3);
}

TEST_F(HistoryTest, TimesCarryTheirOffsetToTheSecondAndRowsStayInOrder) {
  TempDatabase db;
  seedRecords(db.path(), {{.identifier = u"A"_qs}});
  auto set = RecordSet::open(db.path());
  const std::vector<std::pair<QDateTime, QString>> times{
      {QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 999), QTimeZone(-(3 * 3600 + 1800))),
       u"2024-01-02T03:04:05-03:30"_qs},
      {QDateTime(QDate(2024, 1, 2), QTime(0, 0), QTimeZone::utc()),
       u"2024-01-02T00:00:00+00:00"_qs},
      // The clock went back, yet this row comes last.
      {QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59), QTimeZone(5 * 3600 + 2700)),
       u"2023-12-31T23:59:59+05:45"_qs},
  };
  for (std::size_t i = 0; i < times.size(); ++i) {
    when = times[i].first;
    editField(phb::SampleCount, QString::number(10 + i))(*set);
  }
  const std::vector<HistoryEntry> entries = readHistory(db.path(), *set->bookmark());
  ASSERT_EQ(entries.size(), times.size() + 1);  // the seeding's addition first
  for (std::size_t i = 0; i < times.size(); ++i) {
    EXPECT_EQ(entries[i + 1].changedAt, times[i].second);
    EXPECT_EQ(entries[i + 1].after->at(phb::SampleCount), QVariant(10.0 + i));
  }
}

TEST(HistorySourcesTest, LoginNameIsTheOperatingSystemsNotTheEnvironments) {
  const QByteArray user = qgetenv("USER");
  qputenv("USER", "someone-else");
  const QString name = HistorySources::system().loginName();
  qputenv("USER", user);
  EXPECT_EQ(name, QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
}

// Another program's statements on the history; each fails and the file stays as it was.
TEST_F(HistoryTest, FileRefusesToChangeOrRemoveHistoryRows) {
  TempDatabase db;
  seedRecords(db.path(), {{.identifier = u"A"_qs}, {.identifier = u"B"_qs}});
  const QByteArray before = fileBytes(db.path());
  for (const char* sql :
       {"UPDATE phb_history SET changed_by = 'someone'",
        "UPDATE phb_history SET after_pH均值 = 7.0 WHERE id = 1", "DELETE FROM phb_history",
        "DELETE FROM phb_history WHERE id = 2",
        "INSERT OR REPLACE INTO phb_history (id, record_id, action, changed_at, changed_by) "
        "VALUES (1, 1, 'added', 'x', 'y')",
        "INSERT INTO phb_history (id, record_id, action, changed_at, changed_by) "
        "VALUES (1, 1, 'added', 'x', 'y') ON CONFLICT (id) DO UPDATE SET changed_by = 'y'",
        "BEGIN; DELETE FROM phb; DELETE FROM phb_history; COMMIT"}) {
    SqliteConnection other(db.path(), Access::ReadWrite);
    EXPECT_THROW(other.exec(sql), StoreError) << sql;
    other.close();  // rolls back whatever the statement's transaction had done
    EXPECT_TRUE(fileBytes(db.path()) == before) << sql;
  }
}

TEST_F(HistoryTest, FileFromAnEarlierBuildGainsTheTableOnItsFirstChangeOnly) {
  TempDatabase db;
  TempDatabase reference;
  seedRecords(db.path(), {{.identifier = u"A"_qs}, {.identifier = u"B"_qs}});
  dropHistory(db.path());
  const QByteArray earlier = fileBytes(db.path());
  const QStringList earlierSchema = schema(db.path());

  {  // browsing, reading the history and a refused save leave the file alone
    auto set = RecordSet::open(db.path());
    set->moveLast();
    EXPECT_TRUE(readHistory(db.path(), *set->bookmark()).empty());
    set->edit();
    set->setFieldText(u"样本数"_qs, u"many"_qs);
    EXPECT_THROW(set->update(), StoreError);
  }
  EXPECT_TRUE(fileBytes(db.path()) == earlier);

  auto set = RecordSet::open(db.path());
  editField(phb::Identifier, u"A2"_qs)(*set);
  // The history's table, index and triggers as a new file has them, and nothing else.
  const auto ofHistory = [](const QString& entry) { return entry.contains(u"|phb_history|"_qs); };
  QStringList gained = schema(db.path()), expected = schema(reference.path());
  gained.removeIf([&](const QString& e) { return earlierSchema.contains(e); });
  expected.removeIf([&](const QString& e) { return !ofHistory(e); });
  EXPECT_EQ(gained, expected);
  EXPECT_EQ(expected.size(), 5);
  EXPECT_EQ(storedTexts(db.path(), u"标识符"_qs), (QStringList{"A2", "B"}));
  const std::vector<HistoryEntry> entries = readHistory(db.path(), *set->bookmark());
  ASSERT_EQ(entries.size(), 1u);  // records saved before the table existed have no past
  EXPECT_EQ(entries[0].before, kSeeded);
  EXPECT_EQ(historyRows(db.path()), 1);
}

// A write that fails inside its transaction (here: the record is gone, or the file is held
// by another program) takes its history row, and on an earlier file the new table, with it.
TEST_F(HistoryTest, RefusedWriteLeavesNoHistory) {
  for (const auto& [other, earlierFile] :
       std::vector<std::pair<const char*, bool>>{{"DELETE FROM phb WHERE 标识符 = 'A'", false},
                                                 {"DELETE FROM phb WHERE 标识符 = 'A'", true},
                                                 {"BEGIN IMMEDIATE", true}}) {
    SCOPED_TRACE(std::string(other) + (earlierFile ? " on an earlier file" : ""));
    TempDatabase db;
    seedRecords(db.path(), {{.identifier = u"A"_qs}});
    if (earlierFile) dropHistory(db.path());
    auto set = RecordSet::open(db.path());
    set->edit();
    const QStringList texts{"2024-07-07", "B", "7", "7"};
    for (int i = 0; i < phb::kFieldCount; ++i) set->setFieldText(phb::fieldNames()[i], texts[i]);
    SqliteConnection program(db.path(), Access::ReadWrite);
    program.exec(other);
    const QByteArray held = fileBytes(db.path());
    EXPECT_THROW(set->update(), StoreError);
    if (!program.inTransaction()) {  // a held file would only keep it waiting once more
      try {
        set->deleteCurrent();  // refused, or nothing left to delete
      } catch (const StoreError&) {
      }
    }
    program.close();
    EXPECT_TRUE(fileBytes(db.path()) == held);
  }
}

// A saving program killed at any moment leaves each record and its history in step: every
// stored record's last history row holds exactly its values, and no row tells of a record
// that is not there.
TEST_F(HistoryTest, KilledSavesLeaveChangeAndHistoryTogetherOrNeither) {
  for (const int delayMs : {15, 40, 90, 160}) {
    TempDatabase db;
    const pid_t child = fork();
    if (child == 0) {
      try {
        auto set = RecordSet::open(db.path());
        for (int i = 0;; ++i) {
          set->addNew();
          set->setFieldText(u"标识符"_qs, QString::number(i));
          set->update();
          set->setBookmark(*set->lastModified());
          editField(phb::Mean, QString::number(7 + i % 10 / 10.0))(*set);
        }
      } catch (...) {
      }
      _exit(1);
    }
    QThread::msleep(delayMs);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving loop ended on its own";

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
    EXPECT_EQ(count(db.path(), "SELECT count(DISTINCT record_id) FROM phb_history"), stored.size())
        << delayMs << " ms";
  }
}

}  // namespace
}  // namespace sorvane::store
