#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "numbers/NumberText.h"
#include "numbers/PhAverage.h"

namespace sorvane::numbers {
namespace {

struct CutCase {
  double pH;
  const char* shown;
};

class CutTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutTest, CutsToTwoDecimalsRoundingUpOnlyFromPoint0095) {
  EXPECT_EQ(numberToText(cutToHundredths(GetParam().pH)), QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, CutTest,
                         testing::Values(CutCase{7.1296, "7.13"}, CutCase{7.1295, "7.13"},
                                         CutCase{7.1294, "7.12"}, CutCase{7.128, "7.12"},
                                         CutCase{7.0, "7"}, CutCase{7.1, "7.1"},
                                         CutCase{0.30103, "0.3"}, CutCase{-0.5, "-0.5"}));

struct MeanCase {
  const char* name;
  std::vector<double> readings;
  std::optional<const char*> shown;
};

class MeanTest : public testing::TestWithParam<MeanCase> {};

TEST_P(MeanTest, AveragesConcentrationsNotPhValues) {
  const std::optional<double> mean = meanPh(GetParam().readings);
  ASSERT_EQ(mean.has_value(), GetParam().shown.has_value());
  if (mean) {
    EXPECT_EQ(numberToText(*mean), QString::fromLatin1(*GetParam().shown));
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, MeanTest,
    testing::Values(MeanCase{"SevenAndEight", {7, 8}, "7.26"},  // the arithmetic mean: 7.5
                    MeanCase{"AllEqual", {7, 7, 7, 7, 7}, "7"},
                    MeanCase{"SevenAndZero", {7, 0}, "0.3"}, MeanCase{"FourAndTen", {4, 10}, "4.3"},
                    MeanCase{"Zeros", {0, 0}, "0"}, MeanCase{"Negative", {-1, -1}, "-1"},
                    // The limits of double arithmetic: no value instead of a crash.
                    MeanCase{"Overflow", {7, -400}, std::nullopt},
                    MeanCase{"ZeroMean", {400, 500}, std::nullopt},
                    MeanCase{"NoReadings", {}, std::nullopt},
                    // An infinite reading would otherwise vanish from the sum.
                    MeanCase{"InfiniteReading", {7, kInf}, std::nullopt},
                    MeanCase{
                        "NotANumber", {7, std::numeric_limits<double>::quiet_NaN()}, std::nullopt}),
    [](const testing::TestParamInfo<MeanCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::numbers
