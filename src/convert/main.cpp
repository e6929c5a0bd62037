// sorvane-convert OLD.mdb NEW.mdb: converts an Access results file that older versions of
// Sorvane wrote into a new file in today's format, for an administrator working outside
// the program's folder. OLD.mdb is only read; NEW.mdb must not exist and is never
// overwritten. Prints the number of records; on failure prints the one message and exits
// with 1 (2 for a wrong command line).

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "jet/JetConversion.h"
#include "store/StoreError.h"

int main(int argc, char** argv) {
  // Qt decodes the arguments in the locale's encoding, as the shell passed them.
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() != 3) {
    std::fputs("用法：sorvane-convert 旧文件.mdb 新文件.mdb\n", stderr);
    return 2;
  }
  try {
    const sorvane::jet::Conversion done =
        sorvane::jet::convertResultsFile(arguments[1], arguments[2]);
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
