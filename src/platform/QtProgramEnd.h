#pragma once

#include "platform/ProgramEnd.h"

namespace sorvane::platform {

class QtProgramEnd final : public ProgramEnd {
 public:
  [[noreturn]] void end() override;
};

}  // namespace sorvane::platform
