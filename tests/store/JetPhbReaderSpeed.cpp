// Streams 100,000 records of phb with the reader beside mdb-export of the same file, and
// prints both times and the reader's peak memory. Run by hand.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

#include "store/JetPhbReader.h"
#include "support/JetWriter.h"

using namespace sorvane;

int main() {
  std::vector<testsupport::JetRow> rows;
  for (int i = 0; i < 100000; ++i)
    rows.push_back({testsupport::jetDays(1990 + i % 30, 1 + i % 12, 1 + i % 28),
                    QStringLiteral("水样%1").arg(i % 100000), std::int64_t(i % 40),
                    4.0 + (i % 500) / 100.0});
  const testsupport::JetTable table{QStringLiteral("phb"),
                                    {{QStringLiteral("日期"), testsupport::JetType::DateTime},
                                     {QStringLiteral("标识符"), testsupport::JetType::Text, 12},
                                     {QStringLiteral("样本数"), testsupport::JetType::Long},
                                     {QStringLiteral("pH均值"), testsupport::JetType::Double}},
                                    rows};
  rows.clear();
  QTemporaryDir dir;
  for (auto version : {testsupport::JetVersion::Jet3, testsupport::JetVersion::Jet4}) {
    const QString path = dir.filePath(QStringLiteral("phjz.mdb"));
    testsupport::writeJetFile(path, version, table);
    QElapsedTimer timer;
    timer.start();
    store::JetPhbReader reader(path);
    store::PhbRecord r;
    long n = 0;
    while (reader.next(r)) ++n;
    const qint64 readerMs = timer.elapsed();

    timer.restart();
    QProcess exporter;
    exporter.setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MDB_JET3_CHARSET"), QStringLiteral("CP936"));
    exporter.setProcessEnvironment(env);
    exporter.start(QStringLiteral("mdb-export"), {path, QStringLiteral("phb")});
    exporter.waitForFinished(-1);
    const qint64 exportMs = timer.elapsed();
    std::printf("%s: %ld records, reader %lld ms, mdb-export %lld ms\n",
                version == testsupport::JetVersion::Jet3 ? "Jet 3" : "Jet 4", n, readerMs,
                exportMs);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of this process (writer included): %ld KiB\n", usage.ru_maxrss);
}
