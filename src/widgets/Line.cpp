#include "Line.h"

#include <QPainter>

#include "widgets/Twips.h"

namespace sorvane::widgets {

Line::Line(QWidget* parent, int x1Twips, int x2Twips, int yTwips, const QColor& color,
           int widthPixels)
    : QWidget(parent), color_(color) {
  const int left = twipsToPixels(x1Twips);
  setGeometry(left, twipsToPixels(yTwips), twipsToPixels(x2Twips) - left + 1, widthPixels);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void Line::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), color_);
}

}  // namespace sorvane::widgets
