#include "about/StartSysInfo.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "fakes/FakePlatform.h"
#include "platform/PosixRegistry.h"

namespace sorvane::about {
namespace {

TEST(StartSysInfoTest, FindsAndStartsTheToolOrGivesOneMessage) {
  const char* tool = "C:\\Program Files\\msinfo32.exe";
  const QString unavailable = QString::fromUtf16(kSysInfoUnavailable);
  const struct {
    const char* first;    // the first location's path; nullptr: none
    const char* second;   // the second location's folder; nullptr: none
    bool starts;          // whether the platform can start a program
    QStringList asked;    // the paths asked about
    QStringList started;  // the message instead when none
    bool throws = false;  // the registry fails inside the lookup
  } cases[] = {
      {tool, "D:\\Other", true, {}, {tool}},  // first wins, without asking about files
      {nullptr, "C:\\Win", true, {"C:\\Win\\MSINFO32.EXE"}, {"C:\\Win\\MSINFO32.EXE"}},
      {nullptr, "C:\\Empty", true, {"C:\\Empty\\MSINFO32.EXE"}, {}},
      {nullptr, nullptr, true, {}, {}},
      {tool, "C:\\Win", false, {}, {}},  // the second is not tried
      {tool, "C:\\Win", true, {}, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    fakes::FakePlatform platform;
    if (c.first)
      platform.registry.addString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", c.first);
    if (c.second)
      platform.registry.addString("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", c.second);
    platform.registry.failQueries = c.throws;
    platform.fileAttributes.files = {"C:\\Win\\MSINFO32.EXE", "D:\\Other\\MSINFO32.EXE"};
    platform.programStart.starts = c.starts;
    StartSysInfo(platform.services);
    EXPECT_EQ(platform.fileAttributes.asked, c.asked);
    EXPECT_EQ(platform.programStart.started, c.started);
    EXPECT_EQ(platform.messageBox.messages, QStringList(c.started.isEmpty(), unavailable));
    EXPECT_EQ(platform.registry.openKeys, 0);
  }
}

TEST(StartSysInfoTest, StartsHardinfoWhereThePosixRegistryFindsItOnThePath) {
  QTemporaryDir bin;
  const QString hardinfo = bin.filePath(QStringLiteral("hardinfo"));
  QFile program(hardinfo);
  ASSERT_TRUE(program.open(QIODevice::WriteOnly));
  program.close();
  program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFile::encodeName(bin.path()));
  platform::PosixRegistry found;
  qputenv("PATH", QFile::encodeName(bin.filePath(QStringLiteral("empty"))));
  platform::PosixRegistry missing;
  qputenv("PATH", path);

  for (auto [registry, started] :
       {std::pair{&found, QStringList{hardinfo}}, std::pair{&missing, QStringList{}}}) {
    fakes::FakePlatform platform;
    platform.services.registry = registry;
    StartSysInfo(platform.services);
    EXPECT_EQ(platform.programStart.started, started);
    EXPECT_EQ(platform.messageBox.messages.size(), started.isEmpty() ? 1 : 0);
  }
}

}  // namespace
}  // namespace sorvane::about
