#pragma once

#include <memory>

#include "platform/Services.h"

namespace sorvane::app {

// The real platform: Qt dialogs and pointer, POSIX files and processes, the printer.
class QtServices {
 public:
  QtServices();
  ~QtServices();
  platform::Services& services() { return services_; }

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
  platform::Services services_;
};

}  // namespace sorvane::app
