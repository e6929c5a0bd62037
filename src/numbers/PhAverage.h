#pragma once

#include <optional>
#include <span>

namespace sorvane::numbers {

// The laboratory's mean pH: each reading becomes its hydrogen-ion concentration
// 10^(-pH), the concentrations are averaged, and the mean goes back to a pH that is then
// cut to two decimals. No value when the readings lie outside what a double can average
// (a reading below about -308 overflows, readings all above about 323 underflow to a zero
// mean), and for an infinite or not-a-number reading.
std::optional<double> meanPh(std::span<const double> readings);

// The fixed cut to two decimals: Int(pH * 100 + 0.05) * 0.01. It adds 0.05, not 0.5, so it
// rounds up only from .0095 on: 7.1296 gives 7.13, 7.1294 gives 7.12.
double cutToHundredths(double pH);

}  // namespace sorvane::numbers
