#include "about/StartSysInfo.h"

#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"

namespace sorvane::about {
namespace {

using platform::Registry;

constexpr char kFirstKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kSecondKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable = QString::fromUtf16(kSysInfoUnavailable);

struct Case {
  const char* what;
  const char* firstPath;     // nullptr: no first location
  const char* secondFolder;  // nullptr: no second location
  QStringList files;         // the ordinary files that exist
  bool starts;               // whether the platform can start the program
  QStringList asked;         // the paths given to the file test
  QString started;           // the program started; empty when none
};

TEST(StartSysInfoTest, FindsAndStartsTheToolOrSaysItIsUnavailable) {
  const QString programFiles = QStringLiteral("C:\\Program Files\\Common Files\\msinfo32.exe");
  const Case cases[] = {
      {"first location wins over another folder",
       "C:\\Program Files\\Common Files\\msinfo32.exe",
       "D:\\Other",
       {"D:\\Other\\MSINFO32.EXE"},
       true,
       {},
       programFiles},
      {"first location started without a file test",
       "C:\\Program Files\\Common Files\\msinfo32.exe",
       nullptr,
       {},
       true,
       {},
       programFiles},
      {"second location with the tool",
       nullptr,
       "C:\\Win\\System32",
       {"C:\\Win\\System32\\MSINFO32.EXE"},
       true,
       {"C:\\Win\\System32\\MSINFO32.EXE"},
       "C:\\Win\\System32\\MSINFO32.EXE"},
      {"folder ending in a backslash",
       nullptr,
       "C:\\Win\\",
       {"C:\\Win\\\\MSINFO32.EXE"},
       true,
       {"C:\\Win\\\\MSINFO32.EXE"},
       "C:\\Win\\\\MSINFO32.EXE"},
      {"second location without the tool",
       nullptr,
       "C:\\Win",
       {},
       true,
       {"C:\\Win\\MSINFO32.EXE"},
       {}},
      {"neither location", nullptr, nullptr, {}, true, {}, {}},
      {"first location cannot be started; second not tried",
       "C:\\gone.exe",
       "C:\\Win",
       {"C:\\Win\\MSINFO32.EXE"},
       false,
       {},
       {}},
      {"first location empty", "", "C:\\Win", {"C:\\Win\\MSINFO32.EXE"}, true, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fakes::FakePlatform platform;
    if (c.firstPath) platform.registry.addString(kFirstKey, "PATH", c.firstPath);
    if (c.secondFolder) platform.registry.addString(kSecondKey, "MSINFO", c.secondFolder);
    platform.fileTest.files = c.files;
    platform.programStart.starts = c.starts;

    StartSysInfo(platform.services);

    EXPECT_EQ(platform.fileTest.asked, c.asked);
    EXPECT_EQ(platform.programStart.started,
              c.started.isEmpty() ? QStringList() : QStringList{c.started});
    EXPECT_EQ(platform.messageBox.messages,
              c.started.isEmpty() ? QStringList{kUnavailable} : QStringList());
    EXPECT_EQ(platform.registry.openKeys, 0);
  }
}

TEST(StartSysInfoTest, AnErrorInsideTheLookupEndsInTheOneMessage) {
  fakes::FakePlatform platform;
  platform.registry.addString(kFirstKey, "PATH", "C:\\msinfo32.exe");
  platform.registry.failQueries = true;
  StartSysInfo(platform.services);
  EXPECT_EQ(platform.messageBox.messages, QStringList{kUnavailable});
  EXPECT_TRUE(platform.programStart.attempts.isEmpty());
}

TEST(StartSysInfoTest, EachPressStartsTheToolAgain) {
  fakes::FakePlatform platform;
  platform.registry.addString(kFirstKey, "PATH", "/usr/bin/hardinfo");
  StartSysInfo(platform.services);
  StartSysInfo(platform.services);
  EXPECT_EQ(platform.programStart.started.size(), 2);
  EXPECT_TRUE(platform.messageBox.messages.isEmpty());
}

}  // namespace
}  // namespace sorvane::about
