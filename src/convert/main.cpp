// sorvane-convert OLD.mdb NEW.mdb: converts an Access results file that older versions of
// Sorvane wrote into a new file in today's format, for an administrator working outside
// the program's folder. OLD.mdb is only read; NEW.mdb must not exist and is never
// overwritten. Prints the number of records; on failure prints the one message and exits
// with 1 (2 for a wrong command line).
//
// The Access file is read by this program run again as a child under limits (see
// jet/ConversionProcess.h), so nothing a damaged file makes libmdb do or print reaches
// this program's output. The results window runs the same child.
//
// sorvane-convert --server CONNINFO SOURCE: moves a lab's results, from a phjz.mdb of
// today's format or an Access one, onto an empty results server, all or nothing. SOURCE is
// only read. Prints the records and history rows moved; exit codes as above.

#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "jet/ConversionProcess.h"
#include "jet/MoveToServer.h"
#include "store/StoreError.h"

namespace {

void print(std::FILE* stream, const QString& text) {
  std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

int convert(const QString& oldPath, const QString& newPath) {
  const sorvane::jet::Conversion done = sorvane::jet::convertJetFileInChild(
      oldPath, newPath,
      {QCoreApplication::applicationFilePath(),
       sorvane::jet::ChildLimits::forFile(QFileInfo(oldPath).size()),
       {}});
  print(stdout, QStringLiteral("已转换 %1 条记录：%2").arg(done.records).arg(newPath));
  return 0;
}

int moveToServer(const QString& conninfo, const QString& source) {
  using sorvane::jet::MoveStage;
  // Progress only for someone watching, a few times a second, on one line.
  const bool terminal = isatty(fileno(stderr));
  QElapsedTimer shown;
  shown.start();
  bool progressShown = false;
  const auto progress = [&](MoveStage stage, qint64 done, qint64 total) {
    if (!terminal || shown.elapsed() < 250) return;
    shown.restart();
    progressShown = true;
    const QString what = stage == MoveStage::ReadingAccess ? QStringLiteral("正在读取 Access 文件")
                                                           : QStringLiteral("正在转移");
    std::fprintf(stderr, "\r%s：%lld / %lld 行", what.toLocal8Bit().constData(),
                 static_cast<long long>(done), static_cast<long long>(total));
    std::fflush(stderr);
  };
  const auto endLine = [&] {
    if (progressShown) std::fputs("\n", stderr);
  };
  try {
    const sorvane::store::MoveReport done = sorvane::jet::moveResultsToServer(
        conninfo, source, QCoreApplication::applicationFilePath(), progress);
    endLine();
    print(stdout, QStringLiteral("已把 %1 条记录和 %2 条历史记录转移到结果服务器“%3”，"
                                 "并为每条记录记下了一条“转换”历史记录。")
                      .arg(done.records)
                      .arg(done.historyRows)
                      .arg(done.server));
    return 0;
  } catch (...) {
    endLine();
    throw;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Qt decodes the arguments in the locale's encoding, as the shell passed them.
  QCoreApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1 && arguments[1] == QLatin1String(sorvane::jet::kWorkerSwitch))
    return sorvane::jet::runConversionWorker(arguments.mid(2));
  const bool toServer = arguments.size() > 1 && arguments[1] == QLatin1String("--server");
  if (arguments.size() != (toServer ? 4 : 3)) {
    std::fputs(
        "用法：sorvane-convert 旧文件.mdb 新文件.mdb\n"
        "      sorvane-convert --server 连接字符串 结果文件.mdb\n",
        stderr);
    return 2;
  }
  try {
    return toServer ? moveToServer(arguments[2], arguments[3])
                    : convert(arguments[1], arguments[2]);
  } catch (const sorvane::store::StoreError& error) {
    print(stderr, error.message());
    return 1;
  }
}
