#pragma once

#include "InputBox.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "ProgramEnd.h"

namespace sorvane::platform {

class QtInputBox final : public InputBox {
 public:
  std::optional<QString> ask(const QString& prompt, const QString& title,
                             const QString& defaultText) override;
};

class QtMessageBox final : public MessageBox {
 public:
  void show(const QString& prompt) override;
};

class QtProgramEnd final : public ProgramEnd {
 public:
  [[noreturn]] void end() override;
};

class QtPointer final : public Pointer {
 public:
  void setScreenPointer(PointerShape shape) override;
  PointerShape screenPointer() const override { return screen_; }
  void setWindowPointer(QWidget& window, PointerShape shape) override;
  PointerShape windowPointer(const QWidget& window) const override;

 private:
  PointerShape screen_ = PointerShape::Default;
};

}  // namespace sorvane::platform
