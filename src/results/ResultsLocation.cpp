#include "results/ResultsLocation.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include "store/StoreFailures.h"
#include "store/sqlite/DatabasePath.h"

namespace sorvane::results {

namespace {

// The value of `key` in `section` of INI text; letter case of names does not matter, as in
// the INI files administrators know. Blank lines and ";" or "#" comments are skipped.
struct IniValue {
  std::optional<QString> value;
  QString problem;
};

IniValue iniValue(const QString& text, const QString& section, const QString& key) {
  QString current;
  IniValue found;
  int number = 0;
  for (const QString& raw : text.split(u'\n')) {
    ++number;
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      current = line.mid(1, line.size() - 2).trimmed();
      continue;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0) {
      found.problem = QStringLiteral("第 %1 行既不是“[节]”也不是“名称 = 值”").arg(number);
      return found;
    }
    if (current.compare(section, Qt::CaseInsensitive) == 0 &&
        line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
      found.value = line.mid(equals + 1).trimmed();
  }
  return found;
}

}  // namespace

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
  const IniValue server = iniValue(text, QStringLiteral("results"), QStringLiteral("server"));
  if (!server.problem.isEmpty()) return refuse(server.problem);
  if (!server.value) return source;
  if (server.value->isEmpty()) return refuse(QStringLiteral("[results] 中的 server 没有值"));
  if (const auto problem = store::connectionStringProblem(*server.value))
    return refuse(QStringLiteral("[results] 中的 server 不是有效的连接字符串（%1）").arg(*problem));
  source.server = *server.value;
  return source;
}

}  // namespace sorvane::results
