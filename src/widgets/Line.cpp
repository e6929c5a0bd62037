#include "Line.h"

#include <QPainter>

#include "platform/Twips.h"

namespace sorvane::about {

Line::Line(QWidget* parent, int x1Twips, int x2Twips, int yTwips, const QColor& color,
           int widthPixels)
    : QWidget(parent), color_(color) {
  const int left = platform::twipsToPixels(x1Twips);
  setGeometry(left, platform::twipsToPixels(yTwips), platform::twipsToPixels(x2Twips) - left + 1,
              widthPixels);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void Line::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), color_);
}

}  // namespace sorvane::about
