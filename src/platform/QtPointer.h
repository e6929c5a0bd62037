#pragma once

#include "platform/Pointer.h"

namespace sorvane::platform {

// The screen-wide shape is Qt's override cursor, a window's shape its own cursor.
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
