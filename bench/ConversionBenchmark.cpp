// Converting an Access phjz.mdb (100,000 records unless told otherwise) beside the bare
// pipeline doing the same work on the same file in the same run:
//   sqlite3 NEW BEGIN ".import --csv /dev/stdin phb" "INSERT INTO phb_history … SELECT …" COMMIT
// fed by mdb-export, which writes every record and its "converted" history row in one
// transaction, as the conversion does. The ratio against the records alone (the pipeline
// without the history rows) is printed beside it. Also the converter's peak memory at a
// tenth of the records and at all of them, which should be about the same. Each conversion
// runs in a process of its own, as the pipeline does.
//
//   conversion_bench [records]             run the comparison (default 100000)
//   conversion_bench --convert <old> <new>  one conversion; prints its peak memory in KiB

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#include "BenchArguments.h"
#include "jet/JetConversion.h"
#include "store/History.h"
#include "store/StoreError.h"
#include "support/JetWriter.h"

using namespace sorvane;

namespace {

constexpr const char* kUsage =
    "usage: conversion_bench [records]   (records: 10 or more, default 100000)\n";
constexpr int kRounds = 3;

void writeOld(const QString& path, testsupport::JetVersion version, long count) {
  testsupport::JetTable table{QStringLiteral("phb"),
                              {{QStringLiteral("日期"), testsupport::JetType::DateTime},
                               {QStringLiteral("标识符"), testsupport::JetType::Text, 12},
                               {QStringLiteral("样本数"), testsupport::JetType::Long},
                               {QStringLiteral("pH均值"), testsupport::JetType::Double}},
                              {},
                              {}};
  for (long i = 0; i < count; ++i)
    table.rows.push_back(
        {testsupport::jetDays(int(1920 + i % 120), int(1 + i % 12), int(1 + i % 28)),
         QStringLiteral("水样%1").arg(i), std::int64_t(i % 40), 4.0 + double(i % 500) / 100.0});
  testsupport::writeJetFile(path, version, table);
}

struct Run {
  qint64 ms = -1;    // wall time; -1: the run failed
  qint64 cpuMs = 0;  // processor time of the process and every process it waited for
  QByteArray output;
};

// Processor time of every child process this one has reaped so far: steadier than wall
// time on a machine others share.
qint64 childrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval& t) { return qint64(t.tv_sec) * 1000 + t.tv_usec / 1000; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

Run timed(const QString& program, const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("CP936"));
  process.setProcessEnvironment(env);
  const qint64 cpuBefore = childrenCpuMs();
  QElapsedTimer clock;
  clock.start();
  process.start(program, arguments);
  process.waitForFinished(-1);
  const qint64 ms = clock.elapsed();
  const qint64 cpuMs = childrenCpuMs() - cpuBefore;
  if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    std::fprintf(stderr, "%s", process.readAllStandardError().data());
    return {};
  }
  return {ms, cpuMs, process.readAllStandardOutput()};
}

// --convert: one conversion, then this process's peak memory.
int convertOnce(const QString& oldPath, const QString& newPath) {
  try {
    jet::convertJetFile(oldPath, newPath);
  } catch (const store::StoreError& error) {
    std::fprintf(stderr, "%s\n", error.message().toUtf8().constData());
    return 1;
  }
  // The peak of this process alone; ru_maxrss would carry the parent's over the exec.
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) std::printf("%s", line.mid(6).trimmed().split(' ')[0].data());
  return 0;
}

// The login name the history records, found as the store finds it.
QString loginName() {
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name && *entry->pw_name)
    return QString::fromLocal8Bit(entry->pw_name);
  return QStringLiteral("uid %1").arg(geteuid());
}

QString sqlText(const QString& text) {
  return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

// The history rows the conversion writes, with the same columns, action, time and user.
QString historyInsert() {
  return QStringLiteral(
             "INSERT INTO phb_history (record_id, action, changed_at, changed_by, "
             "after_日期, after_标识符, after_样本数, after_pH均值) "
             "SELECT rowid, 'converted', %1, %2, 日期, 标识符, 样本数, pH均值 FROM phb "
             "ORDER BY rowid")
      .arg(sqlText(store::isoWithOffset(QDateTime::currentDateTime())), sqlText(loginName()));
}

// The bare pipeline into `made`, with the history rows in the import's transaction or
// without them. The file names and the SQL reach bash as arguments, never inside its script.
Run floor(const QString& old, const QString& made, bool withHistory) {
  QFile::remove(made);
  const QString import = withHistory ? QStringLiteral(
                                           "BEGIN '.import --csv --skip 1 /dev/stdin phb' "
                                           "\"$4\" COMMIT")
                                     : QStringLiteral("'.import --csv --skip 1 /dev/stdin phb'");
  const QString script = QStringLiteral(
                             "sqlite3 -bail \"$1\" < \"$2\" && "
                             "mdb-export -T %Y-%m-%d \"$3\" phb | sqlite3 -bail \"$1\" ") +
                         import;
  return timed(QStringLiteral("bash"), {QStringLiteral("-c"), script, QStringLiteral("bash"), made,
                                        QStringLiteral(SORVANE_PHB_SCHEMA), old, historyInsert()});
}

Run convert(const QString& old, const QString& made) {
  QFile::remove(made);
  return timed(QCoreApplication::applicationFilePath(), {QStringLiteral("--convert"), old, made});
}

// The rows of `table` in `file`, counted outside the timing: both sides must write as many.
long rowsOf(const QString& file, const char* table) {
  QProcess count;
  count.start(QStringLiteral("sqlite3"),
              {file, QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(table))});
  count.waitForFinished(-1);
  return count.readAllStandardOutput().trimmed().toLong();
}

qint64 median(std::vector<qint64> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Times {
  std::vector<qint64> conversion, floor, recordsOnly;  // wall
  std::vector<qint64> conversionCpu, floorCpu, recordsOnlyCpu;
  long peak = 0;
};

// Conversion and both pipelines in turn, kRounds times; false when a run failed or the
// pipeline wrote other rows than the conversion.
bool measure(const QString& old, QTemporaryDir& dir, Times& times) {
  const QString converted = dir.filePath(QStringLiteral("converted.mdb"));
  const QString piped = dir.filePath(QStringLiteral("piped.mdb"));
  const QString bare = dir.filePath(QStringLiteral("records-only.mdb"));
  for (int round = 0; round < kRounds; ++round) {
    const Run conversion = convert(old, converted);
    const Run withHistory = floor(old, piped, true);
    const Run recordsOnly = floor(old, bare, false);
    if (conversion.ms < 0 || withHistory.ms < 0 || recordsOnly.ms < 0) return false;
    times.conversion.push_back(conversion.ms);
    times.floor.push_back(withHistory.ms);
    times.recordsOnly.push_back(recordsOnly.ms);
    times.conversionCpu.push_back(conversion.cpuMs);
    times.floorCpu.push_back(withHistory.cpuMs);
    times.recordsOnlyCpu.push_back(recordsOnly.cpuMs);
    times.peak = std::max(times.peak, conversion.output.toLong());
  }
  for (const char* table : {"phb", "phb_history"}) {
    if (rowsOf(converted, table) != rowsOf(piped, table)) {
      std::fprintf(stderr, "the pipeline wrote other %s rows than the conversion\n", table);
      return false;
    }
  }
  return true;
}

// The converter's peak memory on a file of `records` records, in KiB; -1 when it failed.
long peakAt(testsupport::JetVersion version, long records, QTemporaryDir& dir) {
  const QString old = dir.filePath(QStringLiteral("few.mdb"));
  writeOld(old, version, records);
  const Run run = convert(old, dir.filePath(QStringLiteral("few-converted.mdb")));
  return run.ms < 0 ? -1 : run.output.toLong();
}

bool compare(testsupport::JetVersion version, long records) {
  const char* name = version == testsupport::JetVersion::Jet3 ? "Jet 3" : "Jet 4";
  QTemporaryDir dir;
  const QString old = dir.filePath(QStringLiteral("old.mdb"));
  writeOld(old, version, records);
  Times times;
  if (!measure(old, dir, times)) return false;
  const long fewPeak = peakAt(version, records / 10, dir);
  const auto line = [&](const char* what, const std::vector<qint64>& conversion,
                        const std::vector<qint64>& floor, const std::vector<qint64>& recordsOnly) {
    const double c = double(median(conversion)), f = double(median(floor)),
                 r = double(median(recordsOnly));
    std::printf(
        "%s, %s: conversion %.0f ms; mdb-export | sqlite3 with the history rows %.0f ms "
        "(%.2fx, target <= 1.30), records alone %.0f ms (%.2fx)\n",
        name, what, c, f, c / f, r, c / r);
  };
  std::printf("%s, %ld records, medians of %d runs\n", name, records, kRounds);
  line("wall", times.conversion, times.floor, times.recordsOnly);
  line("processor", times.conversionCpu, times.floorCpu, times.recordsOnlyCpu);
  std::printf("%s, converter peak memory %ld KiB at %ld records, %ld KiB at %ld\n", name, fewPeak,
              records / 10, times.peak, records);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() == 4 && args[1] == QStringLiteral("--convert"))
    return convertOnce(args[2], args[3]);
  std::optional<long> records = 100000;
  if (argc == 2) records = bench::wholeNumber(argv[1], 10, INT_MAX);
  if (argc > 2 || !records) return bench::wrongArguments(kUsage);

  for (auto version : {testsupport::JetVersion::Jet3, testsupport::JetVersion::Jet4})
    if (!compare(version, *records)) return 1;
  return 0;
}
