#pragma once

#include "platform/Pointer.h"

namespace sorvane::platform {

// Puts a pointer shape back as it was when the scope ends, however it ends: the screen-wide
// shape, or one window's. Used around work that shows the hourglass.
class PointerRestorer {
 public:
  explicit PointerRestorer(Pointer& pointer)
      : pointer_(pointer), before_(pointer.screenPointer()) {}
  PointerRestorer(Pointer& pointer, QWidget& window)
      : pointer_(pointer), window_(&window), before_(pointer.windowPointer(window)) {}
  ~PointerRestorer() {
    if (window_) {
      if (pointer_.windowPointer(*window_) != before_) pointer_.setWindowPointer(*window_, before_);
    } else if (pointer_.screenPointer() != before_) {
      pointer_.setScreenPointer(before_);
    }
  }
  PointerRestorer(const PointerRestorer&) = delete;
  PointerRestorer& operator=(const PointerRestorer&) = delete;

 private:
  Pointer& pointer_;
  QWidget* window_ = nullptr;
  PointerShape before_;
};

}  // namespace sorvane::platform
