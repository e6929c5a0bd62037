#pragma once

#include <QString>

#include "MemoryRegistry.h"

namespace sorvane::platform {

// The registry on systems without one: it holds only the place where the Windows tool
// records its system-information program, filled with the desktop's own tool when one is
// installed, so the About box can start it.
class PosixRegistry final : public MemoryRegistry {
 public:
  // Looks the desktop's system-information program up on PATH.
  PosixRegistry();
  // Records the given program; an empty path records nothing.
  explicit PosixRegistry(const QString& systemInformationProgram);
};

}  // namespace sorvane::platform
