#include "FormsTextBox.h"

#include <QPainter>

namespace sorvane::widgets {

FormsTextBox::FormsTextBox(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
  // The style draws neither frame nor base; the edge is painted below.
  setFrame(false);
  setAttribute(Qt::WA_TranslucentBackground);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, Qt::transparent);
  setPalette(colours);
  setTextMargins(3, 0, 3, 0);
}

void FormsTextBox::setTextColor(const QColor& color) {
  QPalette colours = palette();
  colours.setColor(QPalette::Text, color);
  setPalette(colours);
}

void FormsTextBox::paintEvent(QPaintEvent* event) {
  QLineEdit::paintEvent(event);
  QPainter painter(this);
  const QRect box = rect().adjusted(0, 0, -1, -1);
  painter.setPen(QColor(64, 64, 64));
  painter.drawLine(box.topLeft(), box.topRight());
  painter.drawLine(box.topLeft(), box.bottomLeft());
  painter.setPen(QColor(255, 255, 255));
  painter.drawLine(box.bottomLeft(), box.bottomRight());
  painter.drawLine(box.topRight(), box.bottomRight());
}

}  // namespace sorvane::widgets
