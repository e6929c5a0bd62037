#include "about/GetKeyValue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include "fakes/FakeSystem.h"

namespace sorvane::about {
namespace {

using platform::Registry;

TEST(GetKeyValueTest, ReadsEachKindOfValueOpeningForReadingOnlyAndClosing) {
  setenv("SORVANE_T", "C:\\T", 1);
  const char* key = "SOFTWARE\\Sorvane Test";
  const std::string path = "C:\\a b\\x.exe", fits(1023, 'f');
  // Value name, type (0: not stored), data, whether it reads, the text read.
  const std::tuple<const char*, std::uint32_t, std::string, bool, std::string> cases[] = {
      {"WithNul", Registry::kTypeString, path + '\0', true, path},
      {"WithoutNul", Registry::kTypeString, path, true, path},
      {"Fits1024", Registry::kTypeString, fits + '\0', true, fits},
      {"TooLong1025", Registry::kTypeString, fits + "g" + '\0', false, ""},
      {"Absent", 0, "", false, ""},
      {"Empty", Registry::kTypeString, "", true, ""},
      {"Small", Registry::kTypeDword, {"\x02\x01\0\0", 4}, true, "258"},
      {"Max", Registry::kTypeDword, "\xff\xff\xff\xff", true, "4294967295"},
      {"Expand", Registry::kTypeExpandString, "%SORVANE_T%\\m.exe", true, "C:\\T\\m.exe"},
      // Unknown names and lone % stay as written; a closing % may open the next reference.
      {"Odd", Registry::kTypeExpandString, "1%%SORVANE_NONE%SORVANE_T%%SORVANE_T%%", true,
       "1%%SORVANE_NONEC:\\TC:\\T%"},
      {"Binary", Registry::kTypeBinary, "abc", false, ""},
      {nullptr, 0, "", false, ""},  // a missing key
  };
  fakes::FakeRegistry registry;
  for (const auto& [name, type, data, read, text] : cases)
    if (type) registry.addValue(key, name, type, {data.begin(), data.end()});
  for (const auto& [name, type, data, read, text] : cases) {
    SCOPED_TRACE(name ? name : "missing key");
    registry.openAccess.clear();
    std::string got = "left over";
    EXPECT_EQ(GetKeyValue(registry, Registry::kLocalMachine, name ? key : "SOFTWARE\\Nowhere",
                          name ? name : "PATH", got),
              read);
    EXPECT_EQ(got, text);
    EXPECT_EQ(registry.openAccess, std::vector<std::uint32_t>{Registry::kKeyRead});
    EXPECT_EQ(registry.openKeys, 0);
  }
  unsetenv("SORVANE_T");
}

}  // namespace
}  // namespace sorvane::about
