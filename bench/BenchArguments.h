#pragma once

// What the benchmarks read from their command lines. A wrong argument ends the run with the
// usage and exit code 2 before anything is measured, never with a crash halfway through.

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace bench {

// The whole of `text` as a number from `least` to `most`; nothing for "12x", "", "-3",
// " 7" or one too large to hold.
inline std::optional<long> wholeNumber(const char* text, long least, long most) {
  if (text == nullptr || !std::isdigit(static_cast<unsigned char>(*text))) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < least || value > most) return std::nullopt;
  return value;
}

// Prints `usage` to standard error; returns the exit code of a wrong argument.
inline int wrongArguments(const char* usage) {
  std::fputs(usage, stderr);
  return 2;
}

}  // namespace bench
