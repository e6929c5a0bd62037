#include "numbers/MeterLine.h"

#include <gtest/gtest.h>

#include <string>

namespace sorvane::numbers {
namespace {

struct MeterCase {
  const char* name;
  std::string bytes;              // what the meter sent, all in one write
  const char* readings;           // the readings of its complete lines, "|" between them
  const char* pattern = nullptr;  // the administrator's; none for the default
};

void PrintTo(const MeterCase& c, std::ostream* os) { *os << c.name; }

class MeterLineTest : public testing::TestWithParam<MeterCase> {};

TEST_P(MeterLineTest, ReadsTheCompleteLines) {
  const MeterCase& c = GetParam();
  const QRegularExpression pattern =
      c.pattern ? QRegularExpression(QString::fromUtf8(c.pattern)) : defaultMeterPattern();
  MeterLines lines;
  QStringList readings;
  for (const QByteArray& line : lines.feed(QByteArrayView(c.bytes.data(), c.bytes.size())))
    if (const std::optional<QString> reading = meterReading(line, pattern)) readings << *reading;
  EXPECT_EQ(readings.join(u'|').toStdString(), c.readings);
  EXPECT_LE(lines.buffered(), MeterLines::kLongest);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MeterLineTest,
    testing::Values(
        MeterCase{"LabelBefore", "pH 7.01\r\n", "7.01"},
        MeterCase{"UnitAfter", "7.01 pH\r\n", "7.01"},
        MeterCase{"LabelColonSignAndZeros", "pH: +07.012\r\n", "+07.012"},
        MeterCase{"ReadingThenTemperature", "7.012,25.0\r\n", "7.012"},
        MeterCase{"WithTemperatureAndAtc",
                  "pH  7.012  25.0 \xc2\xb0"
                  "C  ATC\r\n",
                  "7.012"},
        MeterCase{"BareNumber", "6.86\r\n", "6.86"},
        MeterCase{"NegativeSign", "pH -0.25\r\n", "-0.25"},
        MeterCase{"TemperatureFirstThenLabel",
                  "25.0 \xc2\xb0"
                  "C  pH 7.012\r\n",
                  "7.012"},
        MeterCase{"TemperatureFirstThenUnit", "25.0,7.01 pH\r\n", "7.01"},
        MeterCase{"UnitThenTemperature", "7.01 pH 25.0 C\r\n", "7.01"},
        MeterCase{"LabelledPairs", "T=25.0 pH=7.01\r\n", "7.01"},
        MeterCase{"PhInsideAWordIsNoUnit", "98.5 phase, PH 4.00\r\n", "4.00"},
        // One write, three lines with each ending; an empty line between is no line.
        MeterCase{"EachLineEnding", "7.01\r7.02\n\n7.03\r\n", "7.01|7.02|7.03"},
        MeterCase{"EmptyLines", "\r\n\r\n\n", ""}, MeterCase{"Garbage", "ERR ---\r\n", ""},
        MeterCase{"NotUtf8",
                  "pH \xff\xfe 7.01 \xb0"
                  "C\r\n",
                  "7.01"},
        MeterCase{"NoEndingYet", "7.01", ""},
        MeterCase{"LongLineWithoutEnding", std::string(100'000, '7'), ""},
        // The overlong line goes whole, not as a reading of its last kilobyte.
        MeterCase{"LongLineThenAReading",
                  QByteArray("1 ").repeated(50'000).toStdString() + "\r\n7.01\r\n", "7.01"},
        MeterCase{"CommaSeparatesByDefault", "7,01\r\n", "7"},
        MeterCase{"CommaIsThePointWherePatternSays", "pH 7,01\r\n", "7.01", R"(pH\s*(\d+,\d+))"},
        MeterCase{"PatternCaptureNotANumber", "id abc 7.01\r\n", "", R"(id (\w+))"},
        MeterCase{"PatternNotMatching", "7.01\r\n", "", R"(pH=(\S+))"}),
    [](const auto& info) { return std::string(info.param.name); });

// A line begun before the reading dialog opened is not that dialog's.
TEST(MeterLinesTest, DroppedLineGoesUpToItsEnding) {
  MeterLines lines;
  EXPECT_TRUE(lines.feed("9.9").isEmpty());
  lines.dropCurrentLine();
  EXPECT_EQ(lines.feed("9\r\n7.01\r\n"), QList<QByteArray>{"7.01"});
  lines.dropCurrentLine();  // between lines there is nothing to drop
  EXPECT_EQ(lines.feed("7.02\r\n"), QList<QByteArray>{"7.02"});
}

}  // namespace
}  // namespace sorvane::numbers
