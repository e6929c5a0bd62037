#pragma once

class QWidget;

namespace sorvane::platform {

// The two pointer shapes the program uses, with their historical numbers.
enum class PointerShape { Default = 0, Hourglass = 11 };

// Pointer shape, either over all of the program's windows or over one window.
class Pointer {
 public:
  virtual ~Pointer() = default;
  virtual void setScreenPointer(PointerShape shape) = 0;
  virtual PointerShape screenPointer() const = 0;
  virtual void setWindowPointer(QWidget& window, PointerShape shape) = 0;
  virtual PointerShape windowPointer(const QWidget& window) const = 0;
};

}  // namespace sorvane::platform
