#pragma once

#include <QLineEdit>

namespace sorvane::widgets {

// A one-line text box in the Forms 2.0 manner: text in a colour of its own on no
// background at all, so the picture behind shows through, inside a thin sunken edge.
class FormsTextBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit FormsTextBox(const QString& text, QWidget* parent = nullptr);
  void setTextColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace sorvane::widgets
