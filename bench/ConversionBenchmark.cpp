// Converting an Access phjz.mdb of 100,000 records beside the bare pipeline
//   mdb-export OLD phb | sqlite3 NEW ".import --csv /dev/stdin phb"
// on the same file in the same run, and the converter's peak memory at 10,000 and 100,000
// records, which should be about the same. Each conversion runs in a process of its own,
// as the pipeline does.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "jet/JetConversion.h"
#include "store/StoreError.h"
#include "support/JetWriter.h"

using namespace sorvane;

namespace {

void writeOld(const QString& path, testsupport::JetVersion version, int count) {
  testsupport::JetTable table{QStringLiteral("phb"),
                              {{QStringLiteral("日期"), testsupport::JetType::DateTime},
                               {QStringLiteral("标识符"), testsupport::JetType::Text, 12},
                               {QStringLiteral("样本数"), testsupport::JetType::Long},
                               {QStringLiteral("pH均值"), testsupport::JetType::Double}},
                              {},
                              {}};
  for (int i = 0; i < count; ++i)
    table.rows.push_back({testsupport::jetDays(1920 + i % 120, 1 + i % 12, 1 + i % 28),
                          QStringLiteral("水样%1").arg(i), std::int64_t(i % 40),
                          4.0 + (i % 500) / 100.0});
  testsupport::writeJetFile(path, version, table);
}

struct Run {
  qint64 ms;
  QByteArray output;
};

Run timed(const QString& program, const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("CP936"));
  process.setProcessEnvironment(env);
  QElapsedTimer clock;
  clock.start();
  process.start(program, arguments);
  process.waitForFinished(-1);
  const qint64 ms = clock.elapsed();
  if (process.exitCode() != 0) std::fprintf(stderr, "%s", process.readAllStandardError().data());
  return {ms, process.readAllStandardOutput()};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() == 4 && args[1] == QStringLiteral("--convert")) {
    try {
      jet::convertResultsFile(args[2], args[3]);
    } catch (const store::StoreError& error) {
      std::fprintf(stderr, "%s\n", error.message().toUtf8().constData());
      return 1;
    }
    // The peak of this process alone; ru_maxrss would carry the parent's over the exec.
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("VmHWM:")) std::printf("%s", line.mid(6).trimmed().split(' ')[0].data());
    return 0;
  }

  QTemporaryDir dir;
  for (auto version : {testsupport::JetVersion::Jet3, testsupport::JetVersion::Jet4}) {
    const char* name = version == testsupport::JetVersion::Jet3 ? "Jet 3" : "Jet 4";
    long peak[2] = {0, 0};
    qint64 convertMs = 0;
    for (int size : {10000, 100000}) {
      const QString old = dir.filePath(QStringLiteral("old-%1.mdb").arg(size));
      writeOld(old, version, size);
      const QString made = dir.filePath(QStringLiteral("new-%1.mdb").arg(size));
      QFile::remove(made);
      const Run run = timed(args[0], {QStringLiteral("--convert"), old, made});
      peak[size == 100000] = run.output.toLong();
      convertMs = run.ms;
    }
    const QString old = dir.filePath(QStringLiteral("old-100000.mdb"));
    const QString piped = dir.filePath(QStringLiteral("piped.mdb"));
    QFile::remove(piped);
    const QString pipeline = QStringLiteral(
                                 "sqlite3 '%1' < '%2' && mdb-export -T %Y-%m-%d '%3' phb | "
                                 "sqlite3 '%1' '.import --csv --skip 1 /dev/stdin phb'")
                                 .arg(piped, QStringLiteral(SORVANE_PHB_SCHEMA), old);
    const Run bare = timed(QStringLiteral("bash"), {QStringLiteral("-c"), pipeline});
    std::printf(
        "%s, 100,000 records: sorvane conversion %lld ms, mdb-export | sqlite3 %lld ms "
        "(%.2fx); converter peak memory %ld KiB at 10,000 records, %ld KiB at 100,000\n",
        name, convertMs, bare.ms, double(convertMs) / double(bare.ms), peak[0], peak[1]);
  }
}
