// sorvane-convert OLD.mdb NEW.mdb: converts an Access results file that older versions of
// Sorvane wrote into a new file in today's format, for an administrator working outside
// the program's folder. OLD.mdb is only read; NEW.mdb must not exist and is never
// overwritten. Prints the number of records; on failure prints the one message and exits
// with 1 (2 for a wrong command line).
//
// The Access file is read by this program run again as a child under limits (see
// jet/ConversionProcess.h), so nothing a damaged file makes libmdb do or print reaches
// this program's output. The results window runs the same child.

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "jet/ConversionProcess.h"
#include "store/StoreError.h"

int main(int argc, char** argv) {
  // Qt decodes the arguments in the locale's encoding, as the shell passed them.
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1 && arguments[1] == QLatin1String(sorvane::jet::kWorkerSwitch))
    return sorvane::jet::runConversionWorker(arguments.mid(2));
  if (arguments.size() != 3) {
    std::fputs("用法：sorvane-convert 旧文件.mdb 新文件.mdb\n", stderr);
    return 2;
  }
  try {
    const sorvane::jet::Conversion done = sorvane::jet::convertJetFileInChild(
        arguments[1], arguments[2],
        {QCoreApplication::applicationFilePath(),
         sorvane::jet::ChildLimits::forFile(QFileInfo(arguments[1]).size()),
         {}});
    std::printf("%s\n", QStringLiteral("已转换 %1 条记录：%2")
                            .arg(done.records)
                            .arg(arguments[2])
                            .toLocal8Bit()
                            .constData());
    return 0;
  } catch (const sorvane::store::StoreError& error) {
    std::fprintf(stderr, "%s\n", error.message().toLocal8Bit().constData());
    return 1;
  }
}
