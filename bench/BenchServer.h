#pragma once

// A PostgreSQL server of the benchmark's own, started with the tests' script (data and Unix
// socket in a fresh temporary folder, no TCP port, fsync on) with sorvane-server.sql in
// database sorvane_template, and the bare libpq calls the benchmarks' baselines make.
// The including target defines SORVANE_TEST_SERVER_SCRIPT and SORVANE_SERVER_SQL.

#include <libpq-fe.h>

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

inline PGconn* connectBare(const std::string& conninfo) {
  PGconn* db = PQconnectdb(conninfo.c_str());
  if (PQstatus(db) != CONNECTION_OK) {
    std::fprintf(stderr, "connect: %s", PQerrorMessage(db));
    std::exit(1);
  }
  return db;
}

// A statement that must succeed; a failure ends the run, as a baseline that did less work
// than asked would make every figure wrong.
inline PGresult* run(PGconn* db, const char* sql, int binary = 1) {
  PGresult* r = PQexecParams(db, sql, 0, nullptr, nullptr, nullptr, nullptr, binary);
  if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "%s: %s", sql, PQerrorMessage(db));
    std::exit(1);
  }
  return r;
}

inline void exec(PGconn* db, const char* sql) { PQclear(run(db, sql)); }
inline void exec(PGconn* db, const std::string& sql) { exec(db, sql.c_str()); }

// One per run. A run ended early by std::exit stops it too, so no server outlives its
// benchmark.
class Server {
 public:
  // Starts the server; ends the run with exit code 1 when it can't, or without PostgreSQL 15.
  explicit Server(const char* benchName) : name_(benchName) {
    stateFile_ = state_.filePath(QStringLiteral("state")).toStdString();
    script("start", " " SORVANE_SERVER_SQL " durable");
    live() = this;
    std::atexit([] {
      if (live()) live()->stop();
    });
    std::ifstream stateText(stateFile_);
    std::getline(stateText, folder_);
    if (folder_.rfind("skip:", 0) == 0) {
      std::fprintf(stderr, "%s: %s\n", name_, folder_.c_str());
      std::exit(1);
    }
  }
  ~Server() { stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // A connection string for `login` on `database`, over the socket.
  std::string conninfo(const std::string& login, const std::string& database) const {
    return "host=" + folder_ + " user=" + login + " dbname=" + database;
  }

 private:
  const char* name_;
  QTemporaryDir state_;
  std::string stateFile_;
  std::string folder_;

  static Server*& live() {
    static Server* server = nullptr;
    return server;
  }
  void stop() {
    if (live() != this) return;
    live() = nullptr;
    script("stop");
  }
  void script(const char* command, const char* more = "") {
    const std::string line = std::string("bash '" SORVANE_TEST_SERVER_SCRIPT "' ") + command +
                             " '" + stateFile_ + "'" + more;
    if (std::system(line.c_str()) != 0) {
      std::fprintf(stderr, "%s: the server did not %s\n", name_, command);
      std::exit(1);
    }
  }
};

}  // namespace bench
