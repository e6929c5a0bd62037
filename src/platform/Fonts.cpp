#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace sorvane::platform {

namespace {

const QString kSong = QStringLiteral("宋体");

// The Song face itself where the desktop has it, else the nearest Song-style CJK face.
const QStringList& songFamilies() {
  static const QStringList families{
      kSong, QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
      QStringLiteral("AR PL SungtiL GB"), QStringLiteral("Noto Serif CJK SC")};
  return families;
}

// Resolved once: asking for a family the desktop lacks makes Qt search fallbacks for
// every font made from it, which is most of the main window's start-up time.
const QString& songFamily() {
  static const QString family = [] {
    // The plain list, not hasFamily(): that resolves fontconfig aliases for each name,
    // which costs more than loading the fonts.
    const QStringList installed = QFontDatabase::families();
    for (const QString& candidate : songFamilies())
      if (installed.contains(candidate, Qt::CaseInsensitive)) return candidate;
    return kSong;
  }();
  return family;
}

}  // namespace

void installFontSubstitutes() { QFont::insertSubstitutions(kSong, songFamilies().mid(1)); }

QFont songFont(double pointSize, bool bold) {
  QFont font(songFamily());
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  // Large CJK glyphs need no hinting to read well, and the Song faces' hinting programs
  // cost more start-up time than everything else the main window does.
  if (pointSize >= 12) font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

}  // namespace sorvane::platform
