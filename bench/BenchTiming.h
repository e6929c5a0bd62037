#pragma once

// Timing shared by the benchmark programs.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

// The seconds `work` takes.
inline double seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The middle of the rounds' figures, which one disturbed round does not move.
inline double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace bench
