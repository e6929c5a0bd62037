#pragma once

#include <QAbstractButton>
#include <QColor>
#include <optional>

namespace sorvane::widgets {

// A command button in the Forms 2.0 manner: a caption in a colour and font of its own,
// centred on an opaque face or on no face at all, so that whatever lies behind shows
// through. Only the raised bevel (sunken while pressed) is drawn around it.
class FormsButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit FormsButton(const QString& caption, QWidget* parent = nullptr);

  // No face means a transparent background.
  void setFace(std::optional<QColor> face);
  void setCaptionColor(const QColor& color);
  // Without a bevel and without a face the button is an invisible hot spot.
  void setBevel(bool bevel);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Enter, from either key, presses a focused button as Space does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::optional<QColor> face_;
  QColor captionColor_ = Qt::black;
  bool bevel_ = true;
};

}  // namespace sorvane::widgets
