#include "about/GetKeyValue.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "RegistryCases.h"
#include "fakes/FakeSystem.h"

namespace sorvane::about {
namespace {

using platform::Registry;

TEST(GetKeyValueTest, ReadsEachKindOfValueOpeningForReadingOnlyAndClosing) {
  namespace cases = registrycases;
  setenv(cases::kVariable, cases::kVariableValue, 1);
  fakes::FakeRegistry registry;
  for (const cases::Case& c : cases::cases())
    if (c.type) registry.addValue(cases::kKey, c.name, c.type, {c.data.begin(), c.data.end()});
  for (const cases::Case& c : cases::cases()) {
    SCOPED_TRACE(c.name ? c.name : "missing key");
    registry.openAccess.clear();
    std::string got = "left over";
    EXPECT_EQ(
        GetKeyValue(registry, Registry::kLocalMachine, c.name ? cases::kKey : "SOFTWARE\\Nowhere",
                    c.name ? c.name : "PATH", got),
        c.reads);
    EXPECT_EQ(got, c.text);
    EXPECT_EQ(registry.openAccess, std::vector<std::uint32_t>{Registry::kKeyRead});
    EXPECT_EQ(registry.openKeys, 0);
  }
  unsetenv(cases::kVariable);
}

}  // namespace
}  // namespace sorvane::about
