// The results store on a 1,000,000-record phjz.mdb beside bare SQLite C-API code doing the
// same work, alternated in one run so both see the same machine and page-cache state.
// Prints each median and the ratio store / bare.
//
//   store_bench [records] [rounds]          run the comparison (default 1000000, 7)
//   store_bench --probe store|bare <file>   one opening in a fresh process; prints VmHWM

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BenchArguments.h"
#include "BenchChild.h"
#include "BenchResultsFile.h"
#include "BenchTiming.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

namespace {

using bench::median;
using bench::seconds;

using sorvane::store::RecordSet;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: store_bench [records] [rounds]   (records: 2 or more, default 1000000;\n"
    "                                         rounds: 1 or more, default 7)\n";

const QString kDate = QStringLiteral("日期");
const QString kId = QStringLiteral("标识符");
const QString kCount = QStringLiteral("样本数");
const QString kMean = QStringLiteral("pH均值");

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    std::exit(1);
  }
}

sqlite3* openBare(const std::string& path) {
  sqlite3* db = nullptr;
  check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), db, "open");
  return db;
}

// The bare keyset: every row id in table order.
std::vector<sqlite3_int64> bareKeyset(sqlite3* db) {
  std::vector<sqlite3_int64> keys;
  sqlite3_stmt* s = nullptr;
  check(sqlite3_prepare_v2(db, "SELECT rowid FROM phb ORDER BY rowid", -1, &s, nullptr), db,
        "keyset");
  while (sqlite3_step(s) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(s, 0));
  sqlite3_finalize(s);
  return keys;
}

// A bare fetch of one row by row id, reading its four values.
struct BareFetch {
  explicit BareFetch(sqlite3* db) : db_(db) {
    check(sqlite3_prepare_v3(db, "SELECT 日期,标识符,样本数,pH均值 FROM phb WHERE rowid = ?1", -1,
                             SQLITE_PREPARE_PERSISTENT, &s_, nullptr),
          db, "fetch");
  }
  ~BareFetch() { sqlite3_finalize(s_); }
  double operator()(sqlite3_int64 row) {
    sqlite3_bind_int64(s_, 1, row);
    double sink = 0;
    if (sqlite3_step(s_) == SQLITE_ROW) {
      sink += sqlite3_column_bytes(s_, 0) + sqlite3_column_bytes(s_, 1);
      sink += sqlite3_column_double(s_, 2) + sqlite3_column_double(s_, 3);
    }
    sqlite3_reset(s_);
    return sink;
  }
  sqlite3* db_;
  sqlite3_stmt* s_ = nullptr;
};

double readFields(const RecordSet& rs) {
  return rs.field(kDate).toDate().day() + rs.field(kId).toString().size() +
         rs.field(kCount).toDouble() + rs.field(kMean).toDouble();
}

// Runs store and bare alternately, `rounds` times each; returns the medians.
std::pair<double, double> compare(int rounds, const std::function<double()>& store,
                                  const std::function<double()>& bare) {
  std::vector<double> a, b;
  for (int r = 0; r < rounds; ++r) {
    a.push_back(store());
    b.push_back(bare());
  }
  return {median(a), median(b)};
}

int probe(const std::string& kind, const std::string& path) {
  if (kind != "store" && kind != "bare") return bench::wrongArguments(kUsage);
  double sink = 0;
  if (kind == "store") {
    auto rs = RecordSet::open(QString::fromStdString(path));
    if (!rs->eof()) sink = readFields(*rs);
    std::printf("%ld %g\n", bench::peakKiB(), sink * 0);
  } else {
    sqlite3* db = openBare(path);
    const auto keys = bareKeyset(db);
    BareFetch fetch(db);
    if (!keys.empty()) sink = fetch(keys.front());
    std::printf("%ld %zu\n", bench::peakKiB(), keys.size() * 0 + static_cast<size_t>(sink * 0));
    sqlite3_close(db);
  }
  return 0;
}

// Peak resident memory of one opening, in a fresh process.
long childPeakKiB(const char* kind, const std::string& path) {
  const std::string out = bench::childOutput({"store_bench", "--probe", kind, path.c_str()});
  return out.empty() ? -1 : std::atol(out.c_str());
}

// The median store and bare figures of one step, and their ratio against its target.
void print(const char* what, std::pair<double, double> m, const char* unit, double scale,
           const char* target) {
  std::printf("%-34s store %9.3f %s   bare %9.3f %s   ratio %5.2f   (target %s)\n", what,
              m.first * scale, unit, m.second * scale, unit, m.first / m.second, target);
  std::fflush(stdout);
}

// Seconds per item of `work`, which handles `items` of them.
double perItem(long items, const std::function<void()>& work) { return seconds(work) / items; }

struct Files {
  std::string full, empty;
};

// Open and make the first record current, against reading the bare keyset.
void compareOpening(const Files& files, int rounds) {
  const QString path = QString::fromStdString(files.full);
  const auto store = [&] {
    return seconds([&] {
      auto rs = RecordSet::open(path);
      readFields(*rs);
    });
  };
  const auto bare = [&] {
    return seconds([&] {
      sqlite3* db = openBare(files.full);
      const auto keys = bareKeyset(db);
      sqlite3_close(db);
    });
  };
  print("open + first record (+history)", compare(rounds, store, bare), "ms", 1e3, "<= 1.50");
}

long medianOf(std::vector<long> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// What a full file adds to the peak memory of one opening, each in a fresh process.
void comparePeakMemory(const Files& files) {
  std::vector<long> store, bare, storeEmpty, bareEmpty;
  for (int r = 0; r < 3; ++r) {
    store.push_back(childPeakKiB("store", files.full));
    storeEmpty.push_back(childPeakKiB("store", files.empty));
    bare.push_back(childPeakKiB("bare", files.full));
    bareEmpty.push_back(childPeakKiB("bare", files.empty));
  }
  std::printf(
      "%-34s store %+8.1f MiB   bare %+8.1f MiB   (target store <= +16 MiB; peak %.1f MiB "
      "vs %.1f MiB on an empty file)\n",
      "peak memory, full vs empty file", (medianOf(store) - medianOf(storeEmpty)) / 1024.0,
      (medianOf(bare) - medianOf(bareEmpty)) / 1024.0, medianOf(store) / 1024.0,
      medianOf(storeEmpty) / 1024.0);
  std::fflush(stdout);
}

// The record set and the bare fetch on the same full file, for the moving steps.
struct Navigation {
  RecordSet& rs;
  BareFetch& fetch;
  const std::vector<sqlite3_int64>& keys;
  int rounds;
  double sink = 0;
};

// Walking forward, each record made current and its four fields read.
void compareMoveNext(Navigation& n) {
  const long steps = std::min<long>(200000, static_cast<long>(n.keys.size()) - 1);
  const auto store = [&] {
    n.rs.moveFirst();
    return perItem(steps, [&] {
      for (long i = 0; i < steps; ++i) {
        n.rs.moveNext();
        n.sink += readFields(n.rs);
      }
    });
  };
  const auto bare = [&] {
    return perItem(steps, [&] {
      for (long i = 1; i <= steps; ++i) n.sink += n.fetch(n.keys[i]);
    });
  };
  print("MoveNext + four fields, per record", compare(n.rounds, store, bare), "us", 1e6, "<= 3.00");
}

constexpr int kJumps = 20000;

// Jumping between the ends, so every landing reads a row not read just before.
void compareMoveLast(Navigation& n) {
  const auto store = [&] {
    return perItem(2 * kJumps, [&] {
      for (int i = 0; i < kJumps; ++i) {
        n.rs.moveFirst();
        n.sink += readFields(n.rs);
        n.rs.moveLast();
        n.sink += readFields(n.rs);
      }
    });
  };
  const auto bare = [&] {
    return perItem(2 * kJumps, [&] {
      for (int i = 0; i < kJumps; ++i) n.sink += n.fetch(n.keys.front()) + n.fetch(n.keys.back());
    });
  };
  print("MoveLast + four fields", compare(n.rounds, store, bare), "us", 1e6, "<= 3.00");
}

void compareAbsolutePosition(Navigation& n) {
  n.rs.moveLast();
  const auto store = [&] {
    return perItem(kJumps, [&] {
      for (int i = 0; i < kJumps; ++i) n.sink += n.rs.absolutePosition();
    });
  };
  const auto bare = [&] {
    return perItem(kJumps, [&] {
      for (int i = 0; i < kJumps; ++i) n.sink += n.fetch(n.keys.back());
    });
  };
  print("AbsolutePosition", compare(n.rounds, store, bare), "us", 1e6, "<= 3.00");
}

// One bare durable save of a new record, with or without its history row in the same
// transaction.
class BareSave {
 public:
  explicit BareSave(sqlite3* db) : db_(db) {
    check(sqlite3_prepare_v2(db, "INSERT INTO phb VALUES (?1, ?2, ?3, ?4)", -1, &insert_, nullptr),
          db, "insert");
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO phb_history (record_id, action, changed_at, changed_by, "
                             "after_日期, after_标识符, after_样本数, after_pH均值) "
                             "VALUES (?1, 'added', ?2, ?3, ?4, ?5, ?6, ?7)",
                             -1, &history_, nullptr),
          db, "history");
  }
  ~BareSave() {
    sqlite3_finalize(history_);
    sqlite3_finalize(insert_);
  }
  BareSave(const BareSave&) = delete;
  BareSave& operator=(const BareSave&) = delete;

  void operator()(bool withHistory) {
    check(sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db_, "begin");
    sqlite3_bind_text(insert_, 1, "2024-05-06", -1, SQLITE_STATIC);
    sqlite3_bind_text(insert_, 2, "bench", -1, SQLITE_STATIC);
    sqlite3_bind_double(insert_, 3, 5);
    sqlite3_bind_double(insert_, 4, 7.26);
    check(sqlite3_step(insert_), db_, "step");
    sqlite3_reset(insert_);
    if (withHistory) {
      sqlite3_bind_int64(history_, 1, sqlite3_last_insert_rowid(db_));
      sqlite3_bind_text(history_, 2, "2024-05-06T14:03:12+08:00", -1, SQLITE_STATIC);
      sqlite3_bind_text(history_, 3, "bench", -1, SQLITE_STATIC);
      sqlite3_bind_text(history_, 4, "2024-05-06", -1, SQLITE_STATIC);
      sqlite3_bind_text(history_, 5, "bench", -1, SQLITE_STATIC);
      sqlite3_bind_double(history_, 6, 5);
      sqlite3_bind_double(history_, 7, 7.26);
      check(sqlite3_step(history_), db_, "history");
      sqlite3_reset(history_);
    }
    check(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr), db_, "commit");
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* history_ = nullptr;
};

constexpr int kSaves = 40;

// The store's save, which writes its history row, against a bare one without.
// One durable save: rollback journal, synchronous FULL on both sides.
void compareSave(RecordSet& rs, BareSave& bareSave, int rounds) {
  // The short date the results window writes, in whatever locale this runs.
  const QString today = QLocale().toString(QDate(2024, 5, 6), QLocale::ShortFormat);
  const auto store = [&] {
    return perItem(kSaves, [&] {
      for (int i = 0; i < kSaves; ++i) {
        rs.addNew();
        rs.setFieldText(kDate, today);
        rs.setFieldText(kId, QStringLiteral("bench"));
        rs.setFieldText(kCount, QStringLiteral("5"));
        rs.setFieldText(kMean, QStringLiteral("7.26"));
        rs.update();
      }
    });
  };
  const auto bare = [&] {
    return perItem(kSaves, [&] {
      for (int i = 0; i < kSaves; ++i) bareSave(false);
    });
  };
  print("durable save (rollback, FULL)", compare(rounds, store, bare), "ms", 1e3, "<= 1.50");
}

// What the history row adds to a durable save: the same bare save with it and without.
// ("store" is the save with its history row here.)
void compareHistoryRow(BareSave& bareSave, int rounds) {
  const auto saves = [&](bool withHistory) {
    return perItem(kSaves, [&] {
      for (int i = 0; i < kSaves; ++i) bareSave(withHistory);
    });
  };
  print("durable save, history row / none",
        compare(
            rounds, [&] { return saves(true); }, [&] { return saves(false); }),
        "ms", 1e3, "<= 1.20");
}

// Every step on the record set and on bare SQLite, both open on the full file.
double compareOnOpenFile(const std::string& full, int rounds) {
  auto rs = RecordSet::open(QString::fromStdString(full));
  sqlite3* db = openBare(full);
  const auto keys = bareKeyset(db);
  double sink = 0;
  {
    BareFetch fetch(db);
    Navigation navigation{*rs, fetch, keys, rounds};
    compareMoveNext(navigation);
    compareMoveLast(navigation);
    compareAbsolutePosition(navigation);
    sink = navigation.sink;
  }
  check(sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr), db, "sync");
  {
    BareSave bareSave(db);
    compareSave(*rs, bareSave, rounds);
    compareHistoryRow(bareSave, rounds);
  }
  sqlite3_close(db);
  return sink;
}

// Makes the files and runs every step.
int run(long records, int rounds) {
  QTemporaryDir dir;
  const Files files{(dir.path() + "/phjz.mdb").toStdString(),
                    (dir.path() + "/empty.mdb").toStdString()};
  std::printf("making %ld records, each with its history row ...\n", records);
  std::fflush(stdout);
  bench::makeResultsFile(files.full, records);
  bench::makeResultsFile(files.empty, 0);
  compareOpening(files, rounds);
  comparePeakMemory(files);
  std::printf("(checksum %g)\n", compareOnOpenFile(files.full, rounds));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::strcmp(argv[1], "--probe") == 0) return probe(argv[2], argv[3]);
    const auto records = argc > 1 ? bench::wholeNumber(argv[1], 2, 100000000) : 1000000;
    const auto rounds = argc > 2 ? bench::wholeNumber(argv[2], 1, 1000) : 7;
    if (argc > 3 || !records || !rounds) return bench::wrongArguments(kUsage);
    return run(*records, int(*rounds));
  } catch (const sorvane::store::StoreError& error) {
    std::fprintf(stderr, "store_bench: %s\n", qPrintable(error.message()));
    return 1;
  }
}
