#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace sorvane::widgets {

// A container that shows a picture from its top-left corner, cut off at its edges, over
// its own background colour. The picture scales with the screen's device pixel ratio.
class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  void setPicture(const QPixmap& picture);
  const QPixmap& picture() const { return picture_; }
  void setBackground(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap picture_;
  QColor background_;
};

}  // namespace sorvane::widgets
