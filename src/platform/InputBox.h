#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace sorvane::platform {

// Text for an open input box's field that comes from elsewhere than the keyboard, such as a
// reading from a meter. Each text replaces the field's as if typed, selected, so that Enter
// accepts it and typing overwrites it.
class InputFeed : public QObject {
  Q_OBJECT

 signals:
  void text(const QString& text);
};

// The modal one-line input dialog. Cancel is told apart from OK with an empty field.
class InputBox {
 public:
  virtual ~InputBox() = default;
  // The typed text, or no value when the user cancelled. The feed's texts, while the dialog
  // is open, go into its field.
  virtual std::optional<QString> ask(const QString& prompt, const QString& title,
                                     const QString& defaultText = {},
                                     InputFeed* feed = nullptr) = 0;
  // The same with the typed text masked, for a password; it is never shown or kept. A box
  // that can't mask asks nothing.
  virtual std::optional<QString> askSecret(const QString& /*prompt*/, const QString& /*title*/) {
    return std::nullopt;
  }
};

}  // namespace sorvane::platform
