#pragma once

namespace sorvane::platform {

// Thrown by test doubles of ProgramEnd so that the handler that ended the program stops
// where it stands. It is deliberately not a std::exception: the untrapped-error path must
// not mistake it for an error.
struct ProgramEnded {};

// Ends the whole program at once: no further handler runs, every window disappears and
// nothing is saved.
class ProgramEnd {
 public:
  virtual ~ProgramEnd() = default;
  [[noreturn]] virtual void end() = 0;
};

}  // namespace sorvane::platform
