// sorvane-convert --server, run as an administrator would, against the tests' private
// server: what arrives, what is refused, and a kill in the middle.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QProcess>
#include <QThread>
#include <functional>

#include "store/StoreTestFiles.h"
#include "store/postgres/TestServer.h"
#include "support/JetWriter.h"

namespace sorvane::jet {

using namespace store;
using testserver::ServerDatabase;
namespace {

QByteArray checksum(const QString& path) {
  return QCryptographicHash::hash(testfiles::fileBytes(path), QCryptographicHash::Sha256);
}

struct Outcome {
  int code = -1;
  QString out, err;
};

Outcome convert(const QStringList& arguments) {
  QProcess command;
  command.start(QStringLiteral(SORVANE_CONVERT_PROGRAM), arguments);
  EXPECT_TRUE(command.waitForFinished(120000));
  return {command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1,
          QString::fromUtf8(command.readAllStandardOutput()),
          QString::fromUtf8(command.readAllStandardError())};
}

QString owner(const ServerDatabase& server) { return server.conninfo(QStringLiteral("postgres")); }

// A value as both stores can be set side by side: a date as its text, a time as its instant.
QVariant comparable(const QVariant& value) {
  if (value.typeId() == QMetaType::QDate) return value.toDate().toString(Qt::ISODate);
  if (value.typeId() == QMetaType::QDateTime) return value.toDateTime().toMSecsSinceEpoch();
  const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODate);
  if (value.typeId() == QMetaType::QString && time.isValid() && time.timeSpec() != Qt::LocalTime)
    return time.toMSecsSinceEpoch();
  return value;
}

using Rows = std::vector<QVariantList>;

Rows fileRows(const QString& path, const char* sql, int columns) {
  SqliteConnection db(path, SqliteConnection::Access::ReadOnly);
  SqliteStatement query(db, sql);
  Rows rows;
  while (query.step()) {
    QVariantList row;
    for (int i = 0; i < columns; ++i) row << comparable(query.storedValue(i));
    rows.push_back(row);
  }
  return rows;
}

Rows serverRows(const ServerDatabase& server, const char* sql, int columns) {
  const PgResult result = server.admin().exec(sql);
  Rows rows;
  for (int r = 0; r < result.rows(); ++r) {
    QVariantList row;
    for (int i = 0; i < columns; ++i) row << comparable(result.value(r, i));
    rows.push_back(row);
  }
  return rows;
}

constexpr const char* kHistoryColumns =
    "id, record_id, action, changed_at, changed_by, before_日期, before_标识符, before_样本数, "
    "before_pH均值, after_日期, after_标识符, after_样本数, after_pH均值";

// Everything the server holds, and whether the history trigger is on.
QString serverState(const ServerDatabase& server) {
  return server.admin()
      .exec(
          "SELECT (SELECT coalesce(string_agg(p::text, ',' ORDER BY id), '') FROM sorvane.phb p)"
          " || (SELECT coalesce(string_agg(h::text, ',' ORDER BY id), '') FROM "
          "sorvane.phb_history h) || (SELECT tgenabled::text FROM pg_trigger WHERE tgname = "
          "'phb_history_log')")
      .value(0, 0)
      .toString();
}

// Rows put into a results file behind the program's back, its checks off, as another program
// or an older build could have left them.
void plant(const QString& path, const char* sql) {
  SqliteConnection(path, SqliteConnection::Access::ReadWrite)
      .exec((QByteArray("PRAGMA ignore_check_constraints = ON;") + sql).constData());
}

TEST(MoveToServerTest, FileWithItsWholeLifeArrivesEqualAndIdsAreNeverHandedOutAgain) {
  SKIP_WITHOUT_SERVER();
  testfiles::TempDatabase file;
  // Added, changed, deleted and added again through the program, the last id deleted.
  const std::vector<Bookmark> ids =
      testfiles::seedRecords(file.path(), {{.identifier = QStringLiteral("一")},
                                           {.identifier = QStringLiteral("二 ")},
                                           {.identifier = QStringLiteral("三")},
                                           {.identifier = QStringLiteral("四")}});
  {
    const std::unique_ptr<RecordSet> set = RecordSet::open(file.path());
    set->setBookmark(ids[1]);
    set->edit();
    set->setFieldText(QStringLiteral("pH均值"), QStringLiteral("6.95"));
    set->update();
    set->setBookmark(ids[0]);
    set->deleteCurrent();
    set->setBookmark(ids[3]);
    set->deleteCurrent();
  }
  testfiles::seedRecords(file.path(), {{.date = {}, .identifier = {}, .count = {}, .mean = {}}});
  // Written elsewhere under two other offsets, with values only a binary copy keeps.
  plant(file.path(),
        "INSERT INTO phb (日期, 标识符, 样本数, pH均值) VALUES ('0100-01-01', "
        "'１２３４５６７８９０１２',"
        " 0.1 + 0.2, 4.9e-324);"
        "INSERT INTO phb_history (record_id, action, changed_at, changed_by, after_pH均值) "
        "VALUES (40, 'added', '2023-02-28T23:59:59+08:00', '王工', 7.0),"
        " (40, 'deleted', '2023-02-28T10:00:00-05:00', 'lab\\b', NULL)");
  const QByteArray before = checksum(file.path());
  ServerDatabase server;

  const Outcome run = convert({QStringLiteral("--server"), owner(server), file.path()});
  ASSERT_EQ(run.code, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.contains(QStringLiteral("已把 4 条记录和 10 条历史记录")))
      << run.out.toStdString();

  EXPECT_EQ(
      serverRows(server, "SELECT id, 日期, 标识符, 样本数, pH均值 FROM sorvane.phb ORDER BY id", 5),
      fileRows(file.path(), "SELECT rowid, * FROM phb ORDER BY rowid", 5));
  const QByteArray history = QByteArray("SELECT ") + kHistoryColumns + " FROM ";
  Rows moved = serverRows(server, history + "sorvane.phb_history ORDER BY id", 13);
  const Rows converted(moved.begin() + 10, moved.end());
  moved.resize(10);
  EXPECT_EQ(moved, fileRows(file.path(), history + "phb_history ORDER BY id", 7 + 6));
  // One converted row per record, after the file's, under the administrator's login.
  ASSERT_EQ(converted.size(), 4u);
  for (const QVariantList& row : converted) {
    EXPECT_EQ(row[2], QStringLiteral("converted"));
    EXPECT_EQ(row[4], QStringLiteral("postgres"));
    EXPECT_GT(row[0].toLongLong(), 10);
  }
  // The next record a bench adds: above the deleted last id and the history's record 40.
  const std::unique_ptr<RecordSet> bench =
      openRecordSet(ResultsSource{.path = {}, .server = server.conninfo()});
  bench->addNew();
  bench->update();
  EXPECT_GT(*bench->lastModified(), 40);
  EXPECT_EQ(checksum(file.path()), before);
}

TEST(MoveToServerTest, AccessFileArrivesWithItsConvertedRowsOnly) {
  SKIP_WITHOUT_SERVER();
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("旧 phjz.mdb"));
  testsupport::writeJetFile(
      path, testsupport::JetVersion::Jet4,
      testsupport::phbTable(
          {{testsupport::jetDays(1998, 7, 1), QStringLiteral("一"), std::int64_t(3), 7.1},
           {std::monostate{}, std::monostate{}, std::monostate{}, 6.0}}));
  const QByteArray before = checksum(path);
  ServerDatabase server;

  const Outcome run = convert({QStringLiteral("--server"), owner(server), path});
  ASSERT_EQ(run.code, 0) << run.err.toStdString();
  EXPECT_EQ(
      serverRows(server, "SELECT id, 日期, 标识符, 样本数, pH均值 FROM sorvane.phb ORDER BY id", 5),
      (Rows{{qlonglong(1), "1998-07-01", "一", 3.0, 7.1}, {qlonglong(2), {}, {}, {}, 6.0}}));
  EXPECT_EQ(
      serverRows(server,
                 "SELECT record_id, action, changed_by FROM sorvane.phb_history ORDER BY id", 3),
      (Rows{{qlonglong(1), "converted", "postgres"}, {qlonglong(2), "converted", "postgres"}}));
  EXPECT_EQ(checksum(path), before);
}

struct Refusal {
  const char* name;
  // Spoils the file or the server; gives the connection string to move with.
  std::function<QString(const QString& file, const ServerDatabase& server)> prepare;
  const char* says;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

void badRecord(const QString& file, const char* values) {
  plant(file,
        (QByteArray("INSERT INTO phb (日期, 标识符, 样本数, pH均值) VALUES ('2024-05-01', 'B',"
                    " 1.0, 7.0), ") +
         values)
            .constData());
}

const Refusal kRefusals[] = {
    {"ServerNotEmpty",
     [](const QString&, const ServerDatabase& s) {
       s.admin().exec("INSERT INTO sorvane.phb (标识符) VALUES ('已有')");
       return owner(s);
     },
     "上已经有记录或历史记录"},
    {"TextInDateField",
     [](const QString& f, const ServerDatabase& s) {
       badRecord(f, "('2024-02-30', '坏', 1.0, 7.0)");
       return owner(s);
     },
     "第 3 条记录（标识符“坏”）不能原样转移到结果服务器：字段“日期”中是文本“2024-02-30”"},
    {"TextInNumberField",
     [](const QString& f, const ServerDatabase& s) {
       badRecord(f, "('2024-05-01', '坏', '七', 7.0)");
       return owner(s);
     },
     "第 3 条记录（标识符“坏”）不能原样转移到结果服务器：字段“样本数”中是文本“七”"},
    {"NulInIdentifier",
     [](const QString& f, const ServerDatabase& s) {
       badRecord(f, "('2024-05-01', CAST(X'41004243' AS TEXT), 1.0, 7.0)");
       return owner(s);
     },
     "第 3 条记录（标识符“A\\0BC”）不能原样转移到结果服务器：字段“标识符”中是空字符"},
    {"NonFiniteNumber",
     [](const QString& f, const ServerDatabase& s) {
       badRecord(f, "('2024-05-01', '坏', 1.0, -9e999)");
       return owner(s);
     },
     "字段“pH均值”中是非有限数"},
    {"IdentifierOver12",
     [](const QString& f, const ServerDatabase& s) {
       badRecord(f, "('2024-05-01', '一二三四五六七八九十一二三', 1.0, 7.0)");
       return owner(s);
     },
     "超过 12 个字符的文本"},
    {"NotAResultsFile",
     [](const QString& f, const ServerDatabase& s) {
       testfiles::writeBytes(f, QByteArray("not a database").repeated(20));
       return owner(s);
     },
     "不可识别的数据库格式"},
    {"ServerUnreachable",
     [](const QString& f, const ServerDatabase&) {
       return QStringLiteral("host=%1/无 user=postgres").arg(QFileInfo(f).absolutePath());
     },
     "不能连接结果服务器"},
    {"LoginNotTheOwner", [](const QString&, const ServerDatabase& s) { return s.conninfo(); },
     "登录名“technician1”不是结果服务器"},
};

class MoveRefusalServerTest : public testing::TestWithParam<Refusal> {};

TEST_P(MoveRefusalServerTest, RefusedWithOneMessageAndNothingChanged) {
  SKIP_WITHOUT_SERVER();
  const Refusal& r = GetParam();
  testfiles::TempDatabase file;
  testfiles::seedRecords(file.path(), {{.identifier = QStringLiteral("甲")}});
  ServerDatabase server;
  const QString conninfo = r.prepare(file.path(), server);
  const QByteArray fileBefore = checksum(file.path());
  const QString serverBefore = serverState(server);

  const Outcome run = convert({QStringLiteral("--server"), conninfo, file.path()});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_TRUE(run.err.contains(QString::fromUtf8(r.says))) << run.err.toStdString();
  EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
  EXPECT_EQ(checksum(file.path()), fileBefore);
  EXPECT_EQ(serverState(server), serverBefore);
}

INSTANTIATE_TEST_SUITE_P(Move, MoveRefusalServerTest, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MoveToServerTest, KilledInTheMiddleLeavesTheServerAsItWas) {
  SKIP_WITHOUT_SERVER();
  testfiles::TempDatabase file;
  plant(file.path(),
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300000)"
        " INSERT INTO phb (日期, 标识符, 样本数, pH均值) SELECT '2024-05-01', 'r' || i, i, 7.0"
        " FROM n;"
        "INSERT INTO phb_history (record_id, action, changed_at, changed_by, after_标识符)"
        " SELECT rowid, 'added', '2024-05-01T08:00:00+08:00', 'lab', 标识符 FROM phb");
  const QByteArray before = checksum(file.path());
  ServerDatabase server;
  const QString serverBefore = serverState(server);
  PgConnection watch(owner(server));

  QProcess command;
  command.start(QStringLiteral(SORVANE_CONVERT_PROGRAM),
                {QStringLiteral("--server"), owner(server), file.path()});
  ASSERT_TRUE(command.waitForStarted());
  const auto copying = [&] {
    return watch
        .exec(
            "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
            " AND query LIKE 'COPY sorvane.phb_history%' AND state = 'active'")
        .int64(0, 0);
  };
  for (int i = 0; i < 3000 && !copying() && command.state() == QProcess::Running; ++i)
    QThread::msleep(5);
  ASSERT_EQ(command.state(), QProcess::Running) << "the move ended before the kill";
  ::kill(pid_t(command.processId()), SIGKILL);
  command.waitForFinished();
  // The server ends the move's transaction when it notices the client is gone.
  for (int i = 0; i < 1000; ++i) {
    if (watch
            .exec("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
                  " AND pid <> pg_backend_pid()")
            .int64(0, 0) == 0)
      break;
    QThread::msleep(10);
  }
  EXPECT_EQ(serverState(server), serverBefore);
  EXPECT_EQ(checksum(file.path()), before);
}

}  // namespace
}  // namespace sorvane::jet
