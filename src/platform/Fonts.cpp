#include "Fonts.h"

#include <QStringList>

namespace sorvane::platform {

namespace {
const QString kSong = QStringLiteral("宋体");
}

void installFontSubstitutes() {
  QFont::insertSubstitutions(
      kSong, QStringList{QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                         QStringLiteral("AR PL SungtiL GB"), QStringLiteral("Noto Serif CJK SC")});
}

QFont songFont(double pointSize, bool bold) {
  QFont font(kSong);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

}  // namespace sorvane::platform
