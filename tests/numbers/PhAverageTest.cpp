#include "numbers/PhAverage.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "numbers/NumberText.h"

namespace sorvane::numbers {
namespace {

struct MeanCase {
  const char* name;
  std::vector<double> readings;
  const char* shown;  // nullptr: no mean
};

void PrintTo(const MeanCase& c, std::ostream* os) { *os << c.name; }

class MeanTest : public testing::TestWithParam<MeanCase> {};

TEST_P(MeanTest, AveragesConcentrationsAndCutsToTwoDecimals) {
  const std::optional<double> mean = meanPh(GetParam().readings);
  EXPECT_EQ(mean ? numberToText(*mean) : QString(), QString::fromLatin1(GetParam().shown));
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Readings, MeanTest,
    testing::Values(MeanCase{"NotTheArithmeticMean", {7, 8}, "7.26"},
                    MeanCase{"EqualReadings", {7, 7, 7, 7, 7}, "7"},
                    MeanCase{"CancelledReadingIsPh0", {7, 0}, "0.3"},
                    MeanCase{"Negative", {-1, -1}, "-1"},
                    // The cut adds 0.05, so it rounds up only from .0095 on.
                    MeanCase{"CutUpFrom0095", {7.1296, 7.1296}, "7.13"},
                    MeanCase{"CutDownBelow0095", {7.1294, 7.1294}, "7.12"},
                    MeanCase{"CutDownAt008", {7.128, 7.128}, "7.12"},
                    // The limits of double arithmetic: no mean instead of a crash.
                    MeanCase{"Overflow", {7, -400}, nullptr},
                    MeanCase{"UnderflowToZero", {400, 500}, nullptr},
                    MeanCase{"NoReadings", {}, nullptr},
                    // An infinite reading would otherwise vanish from the sum.
                    MeanCase{"InfiniteReading", {7, kInf}, nullptr},
                    MeanCase{"NotANumber", {7, std::numeric_limits<double>::quiet_NaN()}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::numbers
