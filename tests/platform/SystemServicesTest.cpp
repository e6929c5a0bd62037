#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/QtFileAttributes.h"
#include "platform/QtProgramStart.h"

namespace sorvane::platform {
namespace {

void writeProgram(const QString& path, const QString& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content.toUtf8());
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(QtFileAttributesTest, AcceptsOnlyOrdinaryVisibleFiles) {
  QTemporaryDir dir;
  writeProgram(dir.filePath("MSINFO32.EXE"), "x");
  writeProgram(dir.filePath(".hidden"), "x");
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  QtFileAttributes attributes;
  EXPECT_TRUE(attributes.isNormalFile(dir.filePath("MSINFO32.EXE")));
  for (const char* name : {".hidden", "folder", "missing", "MSINFO3?.EXE"})
    EXPECT_FALSE(attributes.isNormalFile(dir.filePath(name))) << name;
  EXPECT_FALSE(attributes.isNormalFile(QString()));
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

}  // namespace
}  // namespace sorvane::platform
