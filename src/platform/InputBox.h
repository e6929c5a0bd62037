#pragma once

#include <QString>
#include <optional>

namespace sorvane::platform {

// The modal one-line input dialog. Cancel is told apart from OK with an empty field.
class InputBox {
 public:
  virtual ~InputBox() = default;
  // The typed text, or no value when the user cancelled.
  virtual std::optional<QString> ask(const QString& prompt, const QString& title,
                                     const QString& defaultText = {}) = 0;
};

}  // namespace sorvane::platform
