#include <gtest/gtest.h>

#include "platform/IniFile.h"
#include "platform/QtMeter.h"

namespace sorvane::platform {
namespace {

TEST(IniFileTest, ReadsSectionsAndKeysAsTheAdministratorWroteThem) {
  const IniFile ini = IniFile::parse(
      "\xEF\xBB\xBF[Meter]\r\n"  // Notepad's byte-order mark first
      "; port = /dev/ttyS0\r\n"
      "  Data Bits = 7  \r\n"
      "# parity = odd\r\n"
      "pattern = ^(\\d+,\\d+);#=x\r\n"
      "baud = 2400\n"
      "BAUD = 4800\n"
      "[results]\n");
  EXPECT_EQ(ini.value("meter", "data bits"), "7");
  EXPECT_FALSE(ini.value("meter", "port") || ini.value("meter", "parity"));  // commented out
  EXPECT_EQ(ini.value(" METER ", "pattern"), "^(\\d+,\\d+);#=x");  // commas and all, one value
  EXPECT_EQ(ini.value("meter", "baud"), "4800");                   // the last one given
  EXPECT_TRUE(ini.hasSection("results"));
  EXPECT_EQ(ini.value("results", "server"), std::nullopt);
  EXPECT_EQ(IniFile::parse("orphan = 1\n[meter]\n").value("meter", "orphan"), std::nullopt);
  EXPECT_FALSE(ini.hasSection("printer"));
  EXPECT_FALSE(IniFile::read("/nonexistent/sorvane.ini").hasSection("meter"));
}

// Wrong [meter] settings make a meter whose opening says what is wrong, before any port.
struct SettingsCase {
  const char* name;
  const char* ini;
  const char* detail;  // a part of what the opening says; none: no meter at all
};

void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

class MeterSettingsTest : public testing::TestWithParam<SettingsCase> {};

TEST_P(MeterSettingsTest, SaysWhatIsWrong) {
  const auto meter = QtMeter::fromSettings(IniFile::parse(GetParam().ini));
  ASSERT_EQ(meter != nullptr, GetParam().detail != nullptr);
  if (!meter) return;
  const std::optional<MeterFault> fault = meter->open();
  ASSERT_TRUE(fault);
  EXPECT_EQ(fault->kind, MeterFault::Settings);
  EXPECT_TRUE(fault->detail.contains(QString::fromUtf8(GetParam().detail)))
      << fault->detail.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, MeterSettingsTest,
    testing::Values(
        SettingsCase{"NoSection", "[results]\nserver = x\n", nullptr},
        SettingsCase{"NoPort", "[meter]\nbaud = 9600\n", "port"},
        SettingsCase{"BaudNotANumber", "[meter]\nport = /dev/null\nbaud = fast\n", "baud"},
        SettingsCase{"UnknownParity", "[meter]\nport = /dev/null\nparity = 偶\n", "parity"},
        SettingsCase{"PatternInvalid", "[meter]\nport = /dev/null\npattern = (\\d\n", "正则"},
        SettingsCase{"PatternWithoutGroup", "[meter]\nport = /dev/null\npattern = \\d+\n",
                     "捕获组"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::platform
