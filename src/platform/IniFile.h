#pragma once

#include <QHash>
#include <QString>
#include <optional>

namespace sorvane::platform {

// A settings file the administrator writes in INI form, in UTF-8: "[section]" lines, then
// "key = value" lines; lines starting with ";" or "#" are comments. Section and key names
// are matched without regard to case or the blanks around them; a value is the rest of its
// line after the first "=", trimmed and otherwise kept as written, commas, ";" and "#"
// included, as a regular expression needs them. A key given twice keeps its last value.
class IniFile {
 public:
  // An empty file when there is none at the path or it cannot be read.
  static IniFile read(const QString& path);
  static IniFile parse(QByteArrayView text);

  bool hasSection(const QString& section) const;
  std::optional<QString> value(const QString& section, const QString& key) const;

 private:
  QHash<QString, QHash<QString, QString>> sections_;  // by folded name
};

}  // namespace sorvane::platform
