#include "store/sqlite/DatabasePath.h"

#include <gtest/gtest.h>

namespace sorvane::store {
namespace {

// The path itself: POSIX would open a doubled separator all the same.
TEST(DatabasePathTest, OneSeparatorBetweenFolderAndFile) {
  EXPECT_EQ(databasePath("/opt/sorvane"), "/opt/sorvane/phjz.mdb");
  EXPECT_EQ(databasePath("/opt/sorvane/"), "/opt/sorvane/phjz.mdb");
  EXPECT_EQ(databasePath("/"), "/phjz.mdb");
  EXPECT_EQ(databasePath("C:\\"), "C:\\phjz.mdb");
}

}  // namespace
}  // namespace sorvane::store
