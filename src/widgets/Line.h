#pragma once

#include <QColor>
#include <QWidget>

namespace sorvane::widgets {

// A horizontal line control: a solid stroke of a colour and a width in pixels, placed by
// its start and end points in twips.
class Line : public QWidget {
  Q_OBJECT

 public:
  Line(QWidget* parent, int x1Twips, int x2Twips, int yTwips, const QColor& color, int widthPixels);

  QColor color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor color_;
};

}  // namespace sorvane::widgets
