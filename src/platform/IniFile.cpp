#include "IniFile.h"

#include <QFile>

namespace sorvane::platform {

namespace {

QString folded(const QString& name) { return name.trimmed().toCaseFolded(); }

}  // namespace

IniFile IniFile::read(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return parse(file.readAll());
}

IniFile IniFile::parse(QByteArrayView text) {
  IniFile ini;
  QHash<QString, QString>* section = nullptr;  // keys before any section belong to none
  // Leaves out the byte-order mark Notepad puts in front of UTF-8.
  const QString all = QString::fromUtf8(text);
  for (QStringView line : QStringView(all).split(u'\n')) {
    line = line.trimmed();  // a CR of a CRLF ending too
    if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      section = &ini.sections_[folded(line.sliced(1, line.size() - 2).toString())];
      continue;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (section && equals > 0)
      section->insert(folded(line.first(equals).toString()),
                      line.sliced(equals + 1).trimmed().toString());
  }
  return ini;
}

bool IniFile::hasSection(const QString& section) const {
  return sections_.contains(folded(section));
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
  const auto found = sections_.constFind(folded(section));
  if (found == sections_.constEnd()) return std::nullopt;
  const auto value = found->constFind(folded(key));
  if (value == found->constEnd()) return std::nullopt;
  return *value;
}

}  // namespace sorvane::platform
