#include "about/GetKeyValue.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "fakes/FakeSystem.h"

namespace sorvane::about {
namespace {

using platform::Registry;

constexpr char kKey[] = "SOFTWARE\\Sorvane Test";

std::vector<unsigned char> bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<unsigned char> dword(std::uint32_t n) {
  return {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
          static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
}

struct Case {
  const char* what;
  const char* key;
  const char* value;
  bool read;
  std::string text;
};

class GetKeyValueTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SORVANE_TOOLS", "C:\\Tools", 1);
    registry.addValue(kKey, "WithNul", Registry::kTypeString,
                      bytes(std::string("C:\\a b\\x.exe", 12) + '\0'));
    registry.addValue(kKey, "WithoutNul", Registry::kTypeString, bytes("C:\\a b\\x.exe"));
    registry.addValue(kKey, "Fits", Registry::kTypeString, bytes(std::string(1023, 'f') + '\0'));
    registry.addValue(kKey, "TooLong", Registry::kTypeString, bytes(std::string(1024, 'g') + '\0'));
    registry.addValue(kKey, "Empty", Registry::kTypeString, {});
    registry.addValue(kKey, "Small", Registry::kTypeDword, dword(258));
    registry.addValue(kKey, "Wide", Registry::kTypeDword, dword(65536));
    registry.addValue(kKey, "Max", Registry::kTypeDword, dword(4294967295u));
    registry.addValue(kKey, "Short", Registry::kTypeDword, {1, 0});
    registry.addValue(
        kKey, "Expand", Registry::kTypeExpandString,
        bytes(std::string("%SORVANE_TOOLS%\\%SORVANE_UNSET_NAME%\\msinfo32.exe") + '\0'));
    registry.addValue(kKey, "Binary", Registry::kTypeBinary, bytes("abc"));
    registry.addValue(kKey, "Multi", Registry::kTypeMultiString, bytes(std::string("a\0b\0\0", 5)));
  }
  void TearDown() override { unsetenv("SORVANE_TOOLS"); }

  fakes::FakeRegistry registry;
};

TEST_F(GetKeyValueTest, ReadsEachKindOfValue) {
  const Case cases[] = {
      {"string with its NUL", kKey, "WithNul", true, "C:\\a b\\x.exe"},
      {"string without its NUL", kKey, "WithoutNul", true, "C:\\a b\\x.exe"},
      {"1024 bytes with the NUL", kKey, "Fits", true, std::string(1023, 'f')},
      {"1025 bytes", kKey, "TooLong", false, ""},
      {"missing key", "SOFTWARE\\Nowhere", "PATH", false, ""},
      {"missing value", kKey, "Absent", false, ""},
      {"no data at all", kKey, "Empty", true, ""},
      {"number with a low byte", kKey, "Small", true, "258"},
      {"number ending in zero bytes", kKey, "Wide", true, "65536"},
      {"largest number", kKey, "Max", true, "4294967295"},
      {"number of two bytes", kKey, "Short", false, ""},
      {"expandable string", kKey, "Expand", true, "C:\\Tools\\%SORVANE_UNSET_NAME%\\msinfo32.exe"},
      {"binary", kKey, "Binary", false, ""},
      {"multi-string", kKey, "Multi", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    registry.openAccess.clear();
    std::string text = "left over";
    EXPECT_EQ(GetKeyValue(registry, Registry::kLocalMachine, c.key, c.value, text), c.read);
    EXPECT_EQ(text, c.text);
    ASSERT_EQ(registry.openAccess.size(), 1u);
    EXPECT_EQ(registry.openAccess[0], Registry::kKeyRead);
    EXPECT_EQ(registry.openKeys, 0);
  }
}

TEST_F(GetKeyValueTest, ClosesTheKeyWhenTheRegistryThrows) {
  registry.failQueries = true;
  std::string text;
  EXPECT_THROW(GetKeyValue(registry, Registry::kLocalMachine, kKey, "WithNul", text),
               std::runtime_error);
  EXPECT_EQ(registry.openKeys, 0);
}

TEST(ExpandEnvironmentReferencesTest, KeepsWhatNamesNoVariable) {
  setenv("SORVANE_A", "x", 1);
  const std::pair<const char*, const char*> cases[] = {
      {"%SORVANE_A%%SORVANE_A%", "xx"},
      {"100%", "100%"},
      {"%%", "%%"},
      {"%SORVANE_UNSET_NAME%SORVANE_A%", "%SORVANE_UNSET_NAMEx"},
      {"a%SORVANE_A", "a%SORVANE_A"},
  };
  for (const auto& [text, expanded] : cases)
    EXPECT_EQ(expandEnvironmentReferences(text), expanded) << text;
  unsetenv("SORVANE_A");
}

}  // namespace
}  // namespace sorvane::about
