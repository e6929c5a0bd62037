#pragma once

// The tests' private PostgreSQL server (test-server.sh, started by ctest before every test
// named *Server*), a fresh database on it for each test, and a results store of either kind
// for the tests that run against both.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <atomic>
#include <memory>
#include <optional>

#include "store/ResultsSource.h"
#include "store/StoreTestFiles.h"
#include "store/postgres/PgConnection.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store::testserver {

// The socket folder the state file names, or why there is none.
inline QString serverFolder(const QString& state, QString* why) {
  QFile file(state);
  if (!file.open(QIODevice::ReadOnly)) {
    *why = QStringLiteral("no test server: run through ctest, which starts one (%1)").arg(state);
    return {};
  }
  const QString text = QString::fromUtf8(file.readAll()).trimmed();
  if (text.startsWith(u"skip:")) *why = text;
  return text.startsWith(u"skip:") ? QString() : text;
}

// GTEST_SKIP must run in the test itself.
#define SKIP_WITHOUT_SERVER()                                                                  \
  do {                                                                                         \
    QString why;                                                                               \
    if (::sorvane::store::testserver::serverFolder(SORVANE_TEST_SERVER_STATE, &why).isEmpty()) \
      GTEST_SKIP() << why.toStdString();                                                       \
  } while (0)

// A fresh database with Sorvane's objects, copied from sorvane_template, dropped with the
// object. Logins: technician1, technician2, auditor, visitor (no role), password_user.
class ServerDatabase {
 public:
  explicit ServerDatabase(QString folder = {}) : folder_(std::move(folder)) {
    QString why;
    if (folder_.isEmpty()) folder_ = serverFolder(SORVANE_TEST_SERVER_STATE, &why);
    static std::atomic<int> made{0};
    name_ = QStringLiteral("t%1_%2").arg(getpid()).arg(made++);
    admin("postgres")
        .exec(("CREATE DATABASE " + name_ + " TEMPLATE sorvane_template").toUtf8().constData());
  }
  ~ServerDatabase() {
    try {
      admin("postgres")
          .exec(("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)").toUtf8().constData());
    } catch (const StoreError&) {
      // A server stopped by the test is removed with its folder.
    }
  }
  QString conninfo(const QString& login = QStringLiteral("technician1")) const {
    return QStringLiteral("host=%1 dbname=%2 user=%3").arg(folder_, name_, login);
  }
  // A superuser's connection, as the administrator has it.
  PgConnection admin(const QString& database = {}) const {
    return PgConnection(QStringLiteral("host=%1 dbname=%2 user=postgres")
                            .arg(folder_, database.isEmpty() ? name_ : database));
  }
  const QString& folder() const { return folder_; }

 private:
  QString folder_;
  QString name_;
};

// A server of the test's own, for stopping and starting under a session.
class OwnServer {
 public:
  OwnServer() { run("start", {QStringLiteral(SORVANE_SERVER_SQL)}); }
  ~OwnServer() { run("stop"); }
  void kill() { run("kill"); }
  void restart() { run("restart"); }
  QString folder() const {
    QString why;
    return serverFolder(state_.filePath("state"), &why);
  }

 private:
  QTemporaryDir state_;
  void run(const char* command, QStringList more = {}) {
    const int code = QProcess::execute(
        "bash", QStringList{SORVANE_TEST_SERVER_SCRIPT, command, state_.filePath("state")} + more);
    EXPECT_EQ(code, 0) << command;
  }
};

// The two stores the shared cases run against.
enum class Backend { File, Server };

inline std::string backendName(Backend backend) {
  return backend == Backend::File ? "File" : "Server";
}

// A store of either kind, empty, removed with the object; and a program folder whose
// sorvane.ini names it, for the window's tests.
class TestStore {
 public:
  explicit TestStore(Backend backend) {
    if (backend == Backend::Server) server_ = std::make_unique<ServerDatabase>();
  }
  ResultsSource source(const QString& login = QStringLiteral("technician1")) const {
    return server_ ? ResultsSource{.server = server_->conninfo(login)}
                   : ResultsSource{.path = file_.path()};
  }
  std::unique_ptr<RecordSet> open(const QString& login = QStringLiteral("technician1")) const {
    return openRecordSet(source(login));
  }
  // The folder a program runs from: the file's, or one with a sorvane.ini for the login.
  QString programFolder(const QString& login = QStringLiteral("technician1")) {
    if (!server_) return file_.folder();
    auto& folder = folders_.emplace_back(std::make_unique<QTemporaryDir>());
    QFile ini(folder->filePath("sorvane.ini"));
    EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(("[results]\nserver = " + server_->conninfo(login) + "\n").toUtf8());
    return folder->path();
  }
  ServerDatabase* server() const { return server_.get(); }
  // Everything the store holds, to tell whether anything at all changed.
  QByteArray contents() const {
    if (!server_) return testfiles::fileBytes(file_.path());
    const PgResult rows = server_->admin().exec(
        "SELECT (SELECT coalesce(string_agg(p::text, ',' ORDER BY id), '') FROM sorvane.phb p)"
        " || (SELECT coalesce(string_agg(h::text, ',' ORDER BY id), '')"
        " FROM sorvane.phb_history h)");
    return rows.value(0, 0).toString().toUtf8();
  }
  // How many history rows the store holds.
  long historyRows() const {
    if (server_)
      return long(server_->admin().exec("SELECT count(*) FROM sorvane.phb_history").int64(0, 0));
    SqliteConnection db(file_.path(), SqliteConnection::Access::ReadOnly);
    SqliteStatement query(db, "SELECT count(*) FROM phb_history");
    query.step();
    return long(query.columnInt64(0));
  }

 private:
  testfiles::TempDatabase file_;
  std::unique_ptr<ServerDatabase> server_;
  std::vector<std::unique_ptr<QTemporaryDir>> folders_;
};

// Appends the records in order through the store's record set; gives back their bookmarks.
inline std::vector<Bookmark> seedRecords(const TestStore& store,
                                         const std::vector<testfiles::Record>& records) {
  return testfiles::seedRecords(*store.open(), records);
}

}  // namespace sorvane::store::testserver
