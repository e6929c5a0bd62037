// Moving a results file onto an empty server of the benchmark's own (sorvane-convert
// --server's move) beside a bare COPY of the same rows into the same tables, doing the same
// work around it: the same lock, the history trigger off, both sequences set, the
// "converted" rows, one transaction. Alternated in one run, each into a fresh database.
// Prints the median times and their ratio, and the move's peak memory for 100,000 records
// and for the full count, each in a fresh process.
//
//   move_bench [records] [rounds]       run the comparison (default 1000000, 3)
//   move_bench --probe CONNINFO FILE    one move in a fresh process; prints its seconds,
//                                       VmHWM in KiB and the rows moved

#include <sqlite3.h>

#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchArguments.h"
#include "BenchChild.h"
#include "BenchResultsFile.h"
#include "BenchServer.h"
#include "BenchTiming.h"
#include "store/StoreError.h"
#include "store/postgres/ServerMove.h"

namespace {

using bench::median;

using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: move_bench [records] [rounds]   (records: 1000 or more, default 1000000;\n"
    "                                        rounds: 1 or more, default 3)\n";
constexpr long kSmall = 100000;
// Bytes gathered before they go to the server, as the move does.
constexpr size_t kChunk = 1 << 18;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int probe(const char* conninfo, const char* file) {
  const auto start = Clock::now();
  try {
    const auto report =
        sorvane::store::moveFileToServer(QString::fromUtf8(conninfo), QString::fromUtf8(file));
    std::printf("%f %ld %lld %lld\n", secondsSince(start), bench::peakKiB(),
                static_cast<long long>(report.records), static_cast<long long>(report.historyRows));
    return 0;
  } catch (const sorvane::store::StoreError& error) {
    std::fprintf(stderr, "move_bench: %s\n", qPrintable(error.message()));
    return 1;
  }
}

struct Moved {
  double seconds = 0;
  long peakKiB = 0;
};

// The move in a fresh process, so its peak memory is its own.
Moved moveInChild(const std::string& conninfo, const std::string& file) {
  const std::string out =
      bench::childOutput({"move_bench", "--probe", conninfo.c_str(), file.c_str()});
  Moved moved;
  if (std::sscanf(out.c_str(), "%lf %ld", &moved.seconds, &moved.peakKiB) != 2) {
    std::fprintf(stderr, "move_bench: the move failed\n");
    std::exit(1);
  }
  return moved;
}

// COPY's text format, gathered into chunks.
class TextCopy {
 public:
  TextCopy(PGconn* db, const char* sql) : db_(db) {
    PGresult* r = PQexec(db, sql);
    if (PQresultStatus(r) != PGRES_COPY_IN) {
      std::fprintf(stderr, "%s: %s", sql, PQerrorMessage(db));
      std::exit(1);
    }
    PQclear(r);
    buffer_.reserve(kChunk + 4096);
  }
  void column(sqlite3_stmt* s, int c) {
    if (c > 0) buffer_ += '\t';
    switch (sqlite3_column_type(s, c)) {
      case SQLITE_NULL:
        buffer_ += "\\N";
        return;
      case SQLITE_INTEGER:
        return number(sqlite3_column_int64(s, c));
      case SQLITE_FLOAT:
        return number(sqlite3_column_double(s, c));
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
        for (const char* p = text; *p; ++p) {
          if (*p == '\\' || *p == '\t' || *p == '\n' || *p == '\r') buffer_ += '\\';
          buffer_ += *p == '\t' ? 't' : *p == '\n' ? 'n' : *p == '\r' ? 'r' : *p;
        }
      }
    }
  }
  void endRow() {
    buffer_ += '\n';
    if (buffer_.size() >= kChunk) flush();
  }
  void finish() {
    flush();
    if (PQputCopyEnd(db_, nullptr) != 1) std::exit(1);
    PGresult* r = PQgetResult(db_);
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      std::fprintf(stderr, "copy: %s", PQerrorMessage(db_));
      std::exit(1);
    }
    PQclear(r);
  }

 private:
  PGconn* db_;
  std::string buffer_;

  template <typename T>
  void number(T value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    buffer_.append(digits, end);
  }
  void flush() {
    if (PQputCopyData(db_, buffer_.data(), static_cast<int>(buffer_.size())) != 1) std::exit(1);
    buffer_.clear();
  }
};

sqlite3_stmt* prepare(sqlite3* file, const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(file, sql, -1, &s, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(file));
    std::exit(1);
  }
  return s;
}

long long single(sqlite3* file, const char* sql) {
  sqlite3_stmt* s = prepare(file, sql);
  sqlite3_step(s);
  const long long value = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  return value;
}

void copyRows(sqlite3* file, const char* select, PGconn* db, const char* copy) {
  sqlite3_stmt* s = prepare(file, select);
  TextCopy out(db, copy);
  const int columns = sqlite3_column_count(s);
  while (sqlite3_step(s) == SQLITE_ROW) {
    for (int c = 0; c < columns; ++c) out.column(s, c);
    out.endRow();
  }
  sqlite3_finalize(s);
  out.finish();
}

// The floor: the move's statements around a bare read of the file and text COPYs.
double bareMove(const std::string& conninfo, const std::string& path) {
  const auto start = Clock::now();
  sqlite3* file = nullptr;
  if (sqlite3_open_v2(path.c_str(), &file, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    std::exit(1);
  sqlite3_exec(file, "BEGIN", nullptr, nullptr, nullptr);
  PGconn* db = bench::connectBare(conninfo);
  bench::exec(db, "SET statement_timeout = 0");
  bench::exec(db, "BEGIN ISOLATION LEVEL READ COMMITTED");
  bench::exec(db, "LOCK TABLE sorvane.phb, sorvane.phb_history IN SHARE ROW EXCLUSIVE MODE");
  PQclear(bench::run(db,
                     "SELECT EXISTS (SELECT FROM sorvane.phb) OR EXISTS (SELECT FROM "
                     "sorvane.phb_history)"));
  bench::exec(db, "ALTER TABLE sorvane.phb DISABLE TRIGGER phb_history_log");
  const long long highest = std::max({single(file, "SELECT coalesce(max(rowid), 0) FROM phb"),
                                      single(file, "SELECT coalesce(max(id), 0) FROM phb_last_id"),
                                      single(file,
                                             "SELECT coalesce(max(record_id), 0) FROM "
                                             "phb_history")});
  const long long highestHistory = single(file, "SELECT coalesce(max(id), 0) FROM phb_history");
  for (const auto& [table, past] :
       {std::pair{"sorvane.phb", highest}, std::pair{"sorvane.phb_history", highestHistory}})
    bench::exec(db, std::string("SELECT setval(pg_catalog.pg_get_serial_sequence('") + table +
                        "', 'id'), " + std::to_string(past) + ")");
  copyRows(file, "SELECT rowid, 日期, 标识符, 样本数, pH均值 FROM phb ORDER BY rowid", db,
           "COPY sorvane.phb (id, 日期, 标识符, 样本数, pH均值) FROM STDIN");
  copyRows(file,
           "SELECT id, record_id, action, changed_at, changed_by, before_日期, before_标识符, "
           "before_样本数, before_pH均值, after_日期, after_标识符, after_样本数, after_pH均值 "
           "FROM phb_history ORDER BY id",
           db,
           "COPY sorvane.phb_history (id, record_id, action, changed_at, changed_by, "
           "before_日期, before_标识符, before_样本数, before_pH均值, "
           "after_日期, after_标识符, after_样本数, after_pH均值) FROM STDIN");
  bench::exec(db,
              "INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by, "
              "after_日期, after_标识符, after_样本数, after_pH均值) "
              "SELECT id, 'converted', now(), session_user, 日期, 标识符, 样本数, pH均值 "
              "FROM sorvane.phb ORDER BY id");
  bench::exec(db, "ALTER TABLE sorvane.phb ENABLE TRIGGER phb_history_log");
  bench::exec(db, "COMMIT");
  PQfinish(db);
  sqlite3_close(file);
  return secondsSince(start);
}

// A fresh empty database from the installed template, with the server's dirty pages
// written out first so that no run pays for the one before it.
std::string freshDatabase(const bench::Server& server, PGconn* admin, int number) {
  const std::string name = "move" + std::to_string(number);
  bench::exec(admin, "CREATE DATABASE " + name + " TEMPLATE sorvane_template");
  bench::exec(admin, "CHECKPOINT");
  return server.conninfo("postgres", name);
}

// Both ways must leave the same rows; a run that moved less would measure nothing.
void checkMoved(PGconn* admin, const bench::Server& server, int number, long records) {
  const std::string name = "move" + std::to_string(number);
  PGconn* db = bench::connectBare(server.conninfo("postgres", name));
  PGresult* r = bench::run(db,
                           "SELECT (SELECT count(*) FROM sorvane.phb) || ' ' || (SELECT count(*) "
                           "FROM sorvane.phb_history)",
                           0);
  const std::string want = std::to_string(records) + " " + std::to_string(2 * records);
  if (want != PQgetvalue(r, 0, 0)) {
    std::fprintf(stderr, "move_bench: %s holds %s rows, not %s\n", name.c_str(),
                 PQgetvalue(r, 0, 0), want.c_str());
    std::exit(1);
  }
  PQclear(r);
  PQfinish(db);
  bench::exec(admin, "DROP DATABASE " + name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--probe") == 0) return probe(argv[2], argv[3]);
  const auto records = argc > 1 ? bench::wholeNumber(argv[1], 1000, 100000000) : 1000000;
  const auto rounds = argc > 2 ? bench::wholeNumber(argv[2], 1, 1000) : 3;
  if (!records || !rounds || argc > 3) return bench::wrongArguments(kUsage);

  QTemporaryDir files;
  const std::string full = files.filePath("phjz.mdb").toStdString();
  const std::string small = files.filePath("small.mdb").toStdString();
  std::printf("making files of %ld and %ld records...\n", *records, kSmall);
  std::fflush(stdout);
  bench::makeResultsFile(full, *records);
  bench::makeResultsFile(small, kSmall);

  bench::Server server("move_bench");
  PGconn* admin = bench::connectBare(server.conninfo("postgres", "postgres"));
  int databases = 0;
  std::vector<double> move, bare;
  long peakFull = 0;
  for (long r = 0; r < *rounds; ++r) {
    // Which goes first alternates, so neither always meets the other's leftovers.
    for (int way = 0; way < 2; ++way) {
      const bool moveNow = (way + r) % 2 == 0;
      const std::string conninfo = freshDatabase(server, admin, ++databases);
      if (moveNow) {
        const Moved moved = moveInChild(conninfo, full);
        move.push_back(moved.seconds);
        peakFull = std::max(peakFull, moved.peakKiB);
      } else {
        bare.push_back(bareMove(conninfo, full));
      }
      checkMoved(admin, server, databases, *records);
      std::printf("round %ld: %s %.2f s\n", r + 1, moveNow ? "move" : "bare",
                  moveNow ? move.back() : bare.back());
      std::fflush(stdout);
    }
  }
  const std::string smallInfo = freshDatabase(server, admin, ++databases);
  const long peakSmall = moveInChild(smallInfo, small).peakKiB;
  checkMoved(admin, server, databases, kSmall);
  PQfinish(admin);

  const double m = median(move), b = median(bare), ratio = m / b;
  std::printf("%ld records + %ld history rows over the Unix socket, %ld rounds (medians)\n",
              *records, *records, *rounds);
  std::printf("%-26s move %8.2f s   bare COPY %8.2f s   ratio %.2f (target <= 1.5) %s\n",
              "move onto an empty server", m, b, ratio, ratio <= 1.5 ? "ok" : "OVER");
  std::printf("move peak memory: %ld KiB for %ld records, %ld KiB for %ld\n", peakSmall, kSmall,
              peakFull, *records);
  return 0;
}
