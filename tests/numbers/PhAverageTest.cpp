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
    testing::Values(
        MeanCase{"not_the_arithmetic_mean", {7, 8}, "7.26"},
        MeanCase{"equal_readings", {7, 7, 7, 7, 7}, "7"},
        MeanCase{"cancelled_reading_is_ph_0", {7, 0}, "0.3"}, MeanCase{"negative", {-1, -1}, "-1"},
        // The cut adds 0.05, so it rounds up only from .0095 on.
        MeanCase{"cut_up_from_0095", {7.1296, 7.1296}, "7.13"},
        MeanCase{"cut_down_below_0095", {7.1294, 7.1294}, "7.12"},
        MeanCase{"cut_down_at_008", {7.128, 7.128}, "7.12"},
        // The limits of double arithmetic: no mean instead of a crash.
        MeanCase{"overflow", {7, -400}, nullptr},
        MeanCase{"underflow_to_zero", {400, 500}, nullptr}, MeanCase{"no_readings", {}, nullptr},
        // An infinite reading would otherwise vanish from the sum.
        MeanCase{"infinite_reading", {7, kInf}, nullptr},
        MeanCase{"not_a_number", {7, std::numeric_limits<double>::quiet_NaN()}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::numbers
