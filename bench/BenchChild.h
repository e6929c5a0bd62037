#pragma once

// A measurement in a fresh process of the same benchmark, so that its peak memory is its
// own: the child prints its figures, the parent reads them.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

// This process's peak resident memory (VmHWM) in KiB.
inline long peakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// Runs this program again with `arguments` (the first is its name); returns what it printed,
// or nothing when it did not exit with 0.
inline std::string childOutput(std::vector<const char*> arguments) {
  arguments.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    execv("/proc/self/exe", const_cast<char* const*>(arguments.data()));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

}  // namespace bench
