#include "results/ResultsLocation.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include "platform/AppInfo.h"
#include "platform/IniFile.h"
#include "platform/InputBox.h"
#include "store/StoreFailures.h"
#include "store/sqlite/DatabasePath.h"

namespace sorvane::results {

store::ResultsSource resultsSource(const platform::Services& services) {
  store::ResultsSource source;
  source.path = store::databasePath(services.programFolder);
  const QString ini = QDir(services.programFolder).filePath(QStringLiteral("sorvane.ini"));
  QFile file(ini);
  if (!file.exists()) return source;
  const auto refuse = [&](const QString& problem) {
    source.settingsError = store::failures::badSettings(QDir::toNativeSeparators(ini), problem);
    return source;
  };
  if (!file.open(QIODevice::ReadOnly)) return refuse(QStringLiteral("不能读取这个文件"));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(file.readAll());
  if (utf8.hasError()) return refuse(QStringLiteral("它不是 UTF-8 文本"));
  const std::optional<QString> server =
      platform::IniFile::parse(text.toUtf8())
          .value(QStringLiteral("results"), QStringLiteral("server"));
  if (!server) return source;
  if (server->isEmpty()) return refuse(QStringLiteral("[results] 中的 server 没有值"));
  if (const auto problem = store::connectionStringProblem(*server))
    return refuse(QStringLiteral("[results] 中的 server 不是有效的连接字符串（%1）").arg(*problem));
  source.server = *server;
  // Asked only when libpq has none (from ~/.pgpass); used for that one connection.
  platform::InputBox* box = services.inputBox;
  source.askPassword = [box](const QString& name) -> std::optional<QString> {
    if (!box) return std::nullopt;
    return box->askSecret(QStringLiteral("结果服务器“%1”需要密码，请输入：").arg(name),
                          platform::AppInfo::title());
  };
  return source;
}

}  // namespace sorvane::results
