#include "PhAverage.h"

#include <cmath>

namespace sorvane::numbers {

double cutToHundredths(double pH) { return std::floor(pH * 100 + 0.05) * 0.01; }

std::optional<double> meanPh(std::span<const double> readings) {
  if (readings.empty()) return std::nullopt;
  double sum = 0;
  for (double reading : readings) {
    // An infinite reading would drop out of the sum (10^-inf is 0) as if never typed.
    if (!std::isfinite(reading)) return std::nullopt;
    sum += std::pow(10.0, -reading);
  }
  const double mean = sum / static_cast<double>(readings.size());
  if (!std::isfinite(mean) || mean <= 0) return std::nullopt;
  const double pH = -(std::log(mean) / std::log(10.0));
  const double cut = cutToHundredths(pH);
  if (!std::isfinite(cut)) return std::nullopt;
  return cut;
}

}  // namespace sorvane::numbers
