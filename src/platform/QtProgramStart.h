#pragma once

#include "ProgramStart.h"

namespace sorvane::platform {

class QtProgramStart final : public ProgramStart {
 public:
  bool start(const QString& program) override;
};

}  // namespace sorvane::platform
