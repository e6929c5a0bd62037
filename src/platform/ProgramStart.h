#pragma once

#include <QString>

namespace sorvane::platform {

// Starts another program as a separate process, in a normal window, without waiting for it.
// The path is the program itself, started whole: never split at blanks, never handed to a
// shell. The answer is false when the program could not be started.
class ProgramStart {
 public:
  virtual ~ProgramStart() = default;
  virtual bool start(const QString& program) = 0;
};

}  // namespace sorvane::platform
