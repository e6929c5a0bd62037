#include "PictureBox.h"

#include <QPainter>

namespace sorvane::widgets {

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent), background_(palette().color(QPalette::Button)) {}

void PictureBox::setPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void PictureBox::setBackground(const QColor& color) {
  background_ = color;
  update();
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), background_);
  // Drawn at its size in device-independent pixels: on a scaled screen Qt enlarges it,
  // and smoothly, never by tiling.
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(QRect(QPoint(0, 0), picture_.deviceIndependentSize().toSize()), picture_);
}

}  // namespace sorvane::widgets
