#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/PosixRegistry.h"
#include "platform/QtFileTest.h"
#include "platform/QtProgramStart.h"

namespace sorvane::platform {
namespace {

void writeProgram(const QString& path, const QString& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content.toUtf8());
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(QtFileTestTest, AcceptsOnlyOrdinaryVisibleFiles) {
  QTemporaryDir dir;
  writeProgram(dir.filePath("MSINFO32.EXE"), "x");
  writeProgram(dir.filePath(".hidden"), "x");
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  QtFileTest test;
  EXPECT_TRUE(test.isNormalFile(dir.filePath("MSINFO32.EXE")));
  for (const char* name : {".hidden", "folder", "missing", "MSINFO3?.EXE"})
    EXPECT_FALSE(test.isNormalFile(dir.filePath(name))) << name;
  EXPECT_FALSE(test.isNormalFile(QString()));
}

TEST(QtProgramStartTest, StartsAPathWithBlanksWholeWithoutAShell) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir("sys info"));
  // Each script leaves its name behind; "sys" is where a split path would lead.
  const QString script = QStringLiteral("#!/bin/sh\ntouch '%1/%2'\n").arg(dir.path());
  writeProgram(dir.filePath("sys info/tool"), script.arg("whole"));
  writeProgram(dir.filePath("sys"), script.arg("split"));
  QtProgramStart start;
  ASSERT_TRUE(start.start(dir.filePath("sys info/tool")));
  EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.filePath("whole")); }, 10000));
  EXPECT_FALSE(QFile::exists(dir.filePath("split")));
  EXPECT_FALSE(start.start(QString()));
  EXPECT_FALSE(start.start(dir.filePath("missing")));
}

// The program's path sits where the About box looks first, as a string with its NUL.
TEST(PosixRegistryTest, HoldsOnlyTheSystemInformationProgram) {
  const QString tool = QStringLiteral("/opt/系统 工具/hardinfo");
  PosixRegistry withTool(tool), without{QString()};
  RegKey key = 0;
  ASSERT_EQ(withTool.openKey(Registry::kLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                             0, Registry::kKeyRead, key),
            Registry::kSuccess);
  unsigned char data[256];
  std::uint32_t type = 0, size = sizeof data;
  ASSERT_EQ(withTool.queryValue(key, "PATH", type, data, size), Registry::kSuccess);
  EXPECT_EQ(type, Registry::kTypeString);
  EXPECT_EQ(QByteArray(reinterpret_cast<char*>(data), size), tool.toLocal8Bit() + '\0');
  EXPECT_NE(without.openKey(Registry::kLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0,
                            Registry::kKeyRead, key),
            Registry::kSuccess);
}

}  // namespace
}  // namespace sorvane::platform
