// The registry, file test and program start that the system-information launcher uses.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "about/GetKeyValue.h"
#include "platform/PosixRegistry.h"
#include "platform/QtFileTest.h"
#include "platform/QtProgramStart.h"

namespace sorvane::platform {
namespace {

void writeFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
}

TEST(QtFileTestTest, AcceptsOnlyOrdinaryFiles) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  writeFile(dir.filePath("MSINFO32.EXE"), "x");
  writeFile(dir.filePath(".hidden"), "x");
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  const std::pair<QString, bool> cases[] = {
      {dir.filePath("MSINFO32.EXE"), true},  {dir.filePath(".hidden"), false},
      {dir.filePath("folder"), false},       {dir.filePath("missing"), false},
      {dir.filePath("MSINFO3?.EXE"), false}, {QString(), false},
  };
  QtFileTest test;
  for (const auto& [path, normal] : cases)
    EXPECT_EQ(test.isNormalFile(path), normal) << path.toStdString();
}

TEST(QtProgramStartTest, StartsAPathWithBlanksWholeWithoutAShell) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A folder with a blank, and a decoy where a split path would lead.
  ASSERT_TRUE(QDir(dir.path()).mkdir("sys info"));
  const QString marker = dir.filePath("ran");
  const QString program = dir.filePath("sys info/tool; touch x");
  writeFile(program, QStringLiteral("#!/bin/sh\necho whole > '%1'\n").arg(marker).toUtf8());
  QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  writeFile(dir.filePath("sys"),
            QStringLiteral("#!/bin/sh\necho split > '%1'\n").arg(marker).toUtf8());
  QFile::setPermissions(dir.filePath("sys"), QFile::ReadOwner | QFile::ExeOwner);

  QtProgramStart start;
  ASSERT_TRUE(start.start(program));
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(marker).size() > 0; }, 10000));
  QFile result(marker);
  ASSERT_TRUE(result.open(QIODevice::ReadOnly));
  EXPECT_EQ(result.readAll().trimmed(), "whole");
  EXPECT_FALSE(QFile::exists(dir.filePath("x")));
}

TEST(QtProgramStartTest, ReportsWhatCannotBeStarted) {
  QtProgramStart start;
  EXPECT_FALSE(start.start(QString()));
  EXPECT_FALSE(start.start(QStringLiteral("/nonexistent/sorvane-no-such-tool")));
}

TEST(PosixRegistryTest, HoldsOnlyTheSystemInformationProgram) {
  const QString tool = QStringLiteral("/opt/系统 工具/hardinfo");
  PosixRegistry withTool(tool);
  PosixRegistry without{QString()};
  std::string text;
  EXPECT_TRUE(about::GetKeyValue(withTool, Registry::kLocalMachine,
                                 "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", text));
  EXPECT_EQ(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())), tool);
  EXPECT_FALSE(about::GetKeyValue(without, Registry::kLocalMachine,
                                  "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", text));
  EXPECT_FALSE(about::GetKeyValue(withTool, Registry::kLocalMachine,
                                  "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO", text));
  // Read-only: asking for write rights is refused even where the key exists.
  RegKey key = 0;
  EXPECT_EQ(withTool.openKey(Registry::kLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                             0, 0x2003F, key),
            Registry::kAccessDenied);
}

}  // namespace
}  // namespace sorvane::platform
