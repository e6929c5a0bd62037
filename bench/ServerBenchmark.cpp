// The results store on a PostgreSQL server of its own (started for the run, reached over its
// Unix socket, fsync on) beside bare libpq code doing the same work, alternated in one run.
// Prints each median and the ratio store / bare against its target.
//
//   server_bench [records] [rounds]     run the comparison (default 1000000, 5)
//   server_bench --probe CONNINFO       one report in a fresh process; prints VmHWM in KiB

#include <libpq-fe.h>

#include <QDate>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BenchArguments.h"
#include "BenchChild.h"
#include "BenchServer.h"
#include "BenchTiming.h"
#include "store/RecordSet.h"
#include "store/ResultsSource.h"
#include "store/Snapshot.h"
#include "store/StoreError.h"

namespace {

using bench::median;
using bench::seconds;

using namespace sorvane::store;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: server_bench [records] [rounds]   (records: 100000 or more, default 1000000;\n"
    "                                          rounds: 1 or more, default 5)\n";
constexpr long kReportRecords = 100000;
constexpr int kMoves = 20000;
constexpr int kSaves = 200;

using bench::connectBare;
using bench::exec;
using bench::run;

std::int64_t int8(PGresult* r, int row, int column) {
  std::uint64_t n;
  std::memcpy(&n, PQgetvalue(r, row, column), 8);
  return static_cast<std::int64_t>(be64toh(n));
}

// A database holding `records` records, each with the history row of its addition.
void fill(const std::string& admin, long records) {
  PGconn* db = connectBare(admin);
  exec(db, "ALTER TABLE sorvane.phb DISABLE TRIGGER phb_history_log");
  const std::string insert =
      "INSERT INTO sorvane.phb (日期, 标识符, 样本数, pH均值) SELECT date '2004-01-29' + i % 7000,"
      " 'S' || i, 2 + i % 20, 6.0 + (i % 200) / 100.0 FROM generate_series(0, " +
      std::to_string(records - 1) + ") AS i";
  exec(db, insert.c_str());
  exec(db,
       "INSERT INTO sorvane.phb_history (record_id, action, changed_at, changed_by, after_日期,"
       " after_标识符, after_样本数, after_pH均值) SELECT id, 'added', now(), 'bench', 日期,"
       " 标识符, 样本数, pH均值 FROM sorvane.phb");
  exec(db, "ALTER TABLE sorvane.phb ENABLE TRIGGER phb_history_log");
  exec(db, "VACUUM ANALYZE sorvane.phb");
  PQfinish(db);
}

double readFields(const RecordSet& rs) {
  return rs.field(u"日期"_qs).toDate().day() + rs.field(u"标识符"_qs).toString().size() +
         rs.field(u"样本数"_qs).toDouble() + rs.field(u"pH均值"_qs).toDouble();
}

// The bare fetch: a prepared binary SELECT by id.
struct BareFetch {
  explicit BareFetch(PGconn* db) : db_(db) {
    PQclear(PQprepare(db, "fetch",
                      "SELECT 日期, 标识符, 样本数, pH均值 FROM sorvane.phb WHERE id = $1", 1,
                      nullptr));
  }
  double operator()(std::int64_t id) {
    const std::uint64_t big = htobe64(static_cast<std::uint64_t>(id));
    const char* value = reinterpret_cast<const char*>(&big);
    const int length = 8, format = 1;
    PGresult* r = PQexecPrepared(db_, "fetch", 1, &value, &length, &format, 1);
    double sink = 0;
    if (PQntuples(r)) {
      std::uint32_t days;
      std::memcpy(&days, PQgetvalue(r, 0, 0), 4);
      sink += QDate::fromJulianDay(2451545 + std::int32_t(be32toh(days))).day();
      sink += QString::fromUtf8(PQgetvalue(r, 0, 1), PQgetlength(r, 0, 1)).size();
      for (int c : {2, 3}) {
        std::uint64_t bits;
        std::memcpy(&bits, PQgetvalue(r, 0, c), 8);
        bits = be64toh(bits);
        double d;
        std::memcpy(&d, &bits, 8);
        sink += d;
      }
    }
    PQclear(r);
    return sink;
  }
  PGconn* db_;
};

// One report read through the store's snapshot, in this process.
long reportAll(const std::string& conninfo) {
  auto snapshot = openServerSnapshot(QString::fromStdString(conninfo), {});
  long rows = 0;
  double sink = 0;
  for (; !snapshot->eof(); snapshot->moveNext(), ++rows)
    sink +=
        snapshot->field(u"pH均值"_qs).toDouble() + snapshot->field(u"标识符"_qs).toString().size();
  return rows + static_cast<long>(sink * 0);
}

long childPeakKiB(const std::string& conninfo) {
  const std::string out = bench::childOutput({"server_bench", "--probe", conninfo.c_str()});
  return out.empty() ? -1 : std::atol(out.c_str());
}

void report(const char* what, const std::vector<double>& store, const std::vector<double>& bare,
            double target, const char* unit = "s") {
  const double scale = std::strcmp(unit, "us") == 0 ? 1e6 : 1;
  const double s = median(store) * scale, b = median(bare) * scale, ratio = s / b;
  std::printf("%-34s store %9.4f %s   bare %9.4f %s   ratio %.2f (target <= %.1f) %s\n", what, s,
              unit, b, unit, ratio, target, ratio <= target ? "ok" : "OVER");
}

// Each work's times, store and bare, one per round.
struct Timings {
  std::vector<double> openStore, openBare, moveStore, moveBare, lastStore, lastBare, saveStore,
      saveBare, reportStore, reportBare;
  double sink = 0;
};

void timeOpening(const std::string& big, Timings& t) {
  t.openStore.push_back(seconds([&] {
    auto rs = openServerRecordSet(QString::fromStdString(big), {});
    t.sink += readFields(*rs);
  }));
  t.openBare.push_back(seconds([&] {
    PGconn* db = connectBare(big);
    PGresult* ids = run(db, "SELECT id FROM sorvane.phb ORDER BY id");
    std::vector<std::int64_t> keys(PQntuples(ids));
    for (int i = 0; i < PQntuples(ids); ++i) keys[i] = int8(ids, i, 0);
    PQclear(ids);
    t.sink += BareFetch(db)(keys.front());
    PQfinish(db);
  }));
}

// MoveNext and MoveLast, each against a bare prepared fetch by id.
void timeMoves(RecordSet& rs, BareFetch& fetch, long records, Timings& t) {
  const auto perMove = [](const std::function<void()>& one) {
    return seconds([&] {
             for (int i = 0; i < kMoves; ++i) one();
           }) /
           kMoves;
  };
  long next = 2;
  t.moveStore.push_back(perMove([&] {
    rs.moveNext();
    t.sink += readFields(rs);
  }));
  t.moveBare.push_back(perMove([&] { t.sink += fetch(next++); }));
  t.lastStore.push_back(perMove([&] {
    rs.moveLast();
    t.sink += readFields(rs);
  }));
  t.lastBare.push_back(perMove([&] { t.sink += fetch(records); }));
}

// Durable saves of one field, with the history trigger, each its own transaction.
void timeSaves(RecordSet& rs, PGconn* db, Timings& t) {
  rs.moveFirst();
  t.saveStore.push_back(seconds([&] {
                          for (int i = 0; i < kSaves; ++i) {
                            rs.edit();
                            rs.setFieldText(u"pH均值"_qs, QString::number(6 + i % 100 / 100.0));
                            rs.update();
                          }
                        }) /
                        kSaves);
  t.saveBare.push_back(seconds([&] {
                         for (int i = 0; i < kSaves; ++i) {
                           exec(db, "BEGIN");
                           const std::string sql = "UPDATE sorvane.phb SET pH均值 = " +
                                                   std::to_string(6 + i % 100 / 100.0) +
                                                   " WHERE id = 2";
                           exec(db, sql.c_str());
                           exec(db, "COMMIT");
                         }
                       }) /
                       kSaves);
}

// The report's read beside a bare binary cursor loop over one snapshot.
void timeReport(const std::string& small, Timings& t) {
  t.reportStore.push_back(seconds([&] { t.sink += reportAll(small); }));
  t.reportBare.push_back(seconds([&] {
    PGconn* db = connectBare(small);
    exec(db, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    exec(db,
         "DECLARE report BINARY NO SCROLL CURSOR FOR SELECT 日期, 标识符, 样本数, pH均值"
         " FROM sorvane.phb ORDER BY id");
    for (;;) {
      PGresult* batch = run(db, "FETCH 2000 FROM report");
      const int n = PQntuples(batch);
      for (int i = 0; i < n; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, PQgetvalue(batch, i, 3), 8);
        bits = be64toh(bits);
        double mean;
        std::memcpy(&mean, &bits, 8);
        t.sink +=
            mean + QString::fromUtf8(PQgetvalue(batch, i, 1), PQgetlength(batch, i, 1)).size();
      }
      PQclear(batch);
      if (n == 0) break;
    }
    exec(db, "COMMIT");
    PQfinish(db);
  }));
}

void printFigures(const Timings& t, long records, long rounds, const std::string& small,
                  const std::string& big) {
  std::printf("%ld records over the Unix socket, %ld rounds (medians)\n", records, rounds);
  report("open + first record", t.openStore, t.openBare, 1.5);
  std::printf("%-34s store %9.4f s (target < 1 s) %s\n", "open + first record, absolute",
              median(t.openStore), median(t.openStore) < 1 ? "ok" : "OVER");
  report("MoveNext, per move", t.moveStore, t.moveBare, 1.5, "us");
  report("MoveLast, per move", t.lastStore, t.lastBare, 1.5, "us");
  report("durable save, per save", t.saveStore, t.saveBare, 1.3, "us");
  report("report of 100,000 records", t.reportStore, t.reportBare, 1.3);
  std::printf("report peak memory: %ld KiB for 100,000 records, %ld KiB for %ld\n",
              childPeakKiB(small), childPeakKiB(big), records);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) {
    reportAll(argv[2]);
    std::printf("%ld\n", bench::peakKiB());
    return 0;
  }
  const auto records = argc > 1 ? bench::wholeNumber(argv[1], kReportRecords, 100000000) : 1000000;
  const auto rounds = argc > 2 ? bench::wholeNumber(argv[2], 1, 1000) : 5;
  if (!records || !rounds || argc > 3) return bench::wrongArguments(kUsage);

  bench::Server server("server_bench");
  const std::string base = server.conninfo("technician1", "");
  {
    PGconn* admin = connectBare(server.conninfo("postgres", "postgres"));
    exec(admin, "CREATE DATABASE big TEMPLATE sorvane_template");
    exec(admin, "CREATE DATABASE report TEMPLATE sorvane_template");
    PQfinish(admin);
  }
  std::printf("filling %ld records...\n", *records);
  fill(server.conninfo("postgres", "big"), *records);
  fill(server.conninfo("postgres", "report"), kReportRecords);
  const std::string big = base + "big", small = base + "report";

  Timings t;
  for (long r = 0; r < *rounds; ++r) {
    timeOpening(big, t);
    auto rs = openServerRecordSet(QString::fromStdString(big), {});
    PGconn* db = connectBare(big);
    BareFetch fetch(db);
    timeMoves(*rs, fetch, *records, t);
    timeSaves(*rs, db, t);
    PQfinish(db);
    timeReport(small, t);
  }
  printFigures(t, *records, *rounds, small, big);
  return t.sink == -1 ? 1 : 0;
}
