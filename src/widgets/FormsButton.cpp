#include "FormsButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace sorvane::widgets {

FormsButton::FormsButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
  setText(caption);
  setFocusPolicy(Qt::StrongFocus);
}

void FormsButton::setFace(std::optional<QColor> face) {
  face_ = face;
  update();
}

void FormsButton::setBevel(bool bevel) {
  bevel_ = bevel;
  update();
}

void FormsButton::setCaptionColor(const QColor& color) {
  captionColor_ = color;
  update();
}

QSize FormsButton::sizeHint() const {
  return fontMetrics().size(Qt::TextShowMnemonic, text()) + QSize(12, 8);
}

void FormsButton::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    QAbstractButton::keyPressEvent(event);
    return;
  }
  // Holding the key down presses once, not once per repeat.
  if (!event->isAutoRepeat()) click();
}

void FormsButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect box = rect();
  if (face_) painter.fillRect(box, *face_);

  const bool sunken = isDown();
  // A hot spot shows nothing at rest; pressed, it sinks like any button.
  if (bevel_ || sunken) {
    const QColor light = sunken ? QColor(64, 64, 64) : QColor(255, 255, 255);
    const QColor dark = sunken ? QColor(255, 255, 255) : QColor(64, 64, 64);
    painter.setPen(light);
    painter.drawLine(box.topLeft(), box.topRight());
    painter.drawLine(box.topLeft(), box.bottomLeft());
    painter.setPen(dark);
    painter.drawLine(box.bottomLeft(), box.bottomRight());
    painter.drawLine(box.topRight(), box.bottomRight());
  }

  const QRect textBox = box.adjusted(2, 2, -2, -2).translated(sunken ? 1 : 0, sunken ? 1 : 0);
  painter.setPen(captionColor_);
  painter.setFont(font());
  painter.drawText(textBox, Qt::AlignCenter | Qt::TextShowMnemonic, text());

  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = box.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

}  // namespace sorvane::widgets
