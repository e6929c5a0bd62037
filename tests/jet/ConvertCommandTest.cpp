// sorvane-convert's exit codes and what it prints, and that it never overwrites NEW.mdb.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

#include "store/StoreTestFiles.h"
#include "support/JetWriter.h"

namespace sorvane::jet {

using namespace store;
namespace {

struct Command {
  const char* name;
  std::function<QStringList(const QDir&)> prepare;  // makes the files, gives the arguments
  int exitCode;
  const char* says;  // a part of what it prints: the standard output on success, else the error
};

void PrintTo(const Command& c, std::ostream* os) { *os << c.name; }

QString oldFile(const QDir& dir) {
  const QString path = dir.filePath(QStringLiteral("旧 phjz.mdb"));
  testsupport::writeJetFile(
      path, testsupport::JetVersion::Jet3,
      testsupport::phbTable(
          {{testsupport::jetDays(1998, 7, 1), QStringLiteral("一"), std::int64_t(3), 7.1},
           {std::monostate{}, std::monostate{}, std::monostate{}, 6.0}}));
  return path;
}

class ConvertCommand : public testing::TestWithParam<Command> {};

TEST_P(ConvertCommand, ExitsWithItsCode) {
  const Command& c = GetParam();
  QTemporaryDir temporary;
  const QDir dir(temporary.path());
  const QStringList arguments = c.prepare(dir);
  const QString target = arguments.size() == 2 ? arguments[1] : QString();
  const QByteArray before = target.isEmpty() ? QByteArray() : testfiles::fileBytes(target);

  QProcess command;
  command.start(QStringLiteral(SORVANE_CONVERT_PROGRAM), arguments);
  ASSERT_TRUE(command.waitForFinished(60000));
  EXPECT_EQ(command.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(command.exitCode(), c.exitCode);
  const QString out = QString::fromUtf8(command.readAllStandardOutput());
  const QString err = QString::fromUtf8(command.readAllStandardError());
  EXPECT_TRUE((c.exitCode == 0 ? out : err).contains(QString::fromUtf8(c.says)))
      << out.toStdString() << err.toStdString();
  if (c.exitCode != 0) {
    EXPECT_TRUE(out.isEmpty());
    if (!target.isEmpty()) EXPECT_EQ(testfiles::fileBytes(target), before);
  }
}

const Command kCommands[] = {
    {"Converts",
     [](const QDir& d) {
       return QStringList{oldFile(d), d.filePath("新.mdb")};
     },
     0, "已转换 2 条记录"},
    {"NewFileExists",
     [](const QDir& d) {
       testfiles::writeBytes(d.filePath("新.mdb"), "kept as it is");
       return QStringList{oldFile(d), d.filePath("新.mdb")};
     },
     1, "已经存在；为了不覆盖它，没有转换"},
    {"OldIsNotAccess",
     [](const QDir& d) {
       testfiles::writeBytes(d.filePath("a.mdb"), QByteArray("SQLite format 3\0", 16).repeated(10));
       return QStringList{d.filePath("a.mdb"), d.filePath("b.mdb")};
     },
     1, "不是 Access (Jet) 数据库"},
    {"OldIsMissing",
     [](const QDir& d) {
       return QStringList{d.filePath("无.mdb"), d.filePath("b.mdb")};
     },
     1, "找不到文件"},
    {"OneArgument", [](const QDir& d) { return QStringList{oldFile(d)}; }, 2, "用法"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConvertCommand, testing::ValuesIn(kCommands),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::jet
