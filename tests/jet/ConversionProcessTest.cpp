// An Access file is read in a child process under limits: a file that once made libmdb eat
// memory or print is refused in one message by sorvane-convert, nothing else printed and no
// file changed; and a child that allocates or loops without end is ended by the limits,
// the parent's memory flat and its progress ticking all along.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "jet/ConversionProcess.h"
#include "store/StoreError.h"
#include "store/StoreTestFiles.h"
#include "support/JetFixtures.h"

namespace sorvane::jet {
namespace {

using store::testfiles::fileBytes;
using testsupport::PropertyDamage;

// Peak resident memory in MiB of this process, or of the largest child it has waited for.
long peakMiB(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_maxrss / 1024;
}

class DamagedProperties : public testing::TestWithParam<PropertyDamage> {};

TEST_P(DamagedProperties, AreRefusedBySorvaneConvertInOneMessage) {
  const QByteArray bytes = testsupport::damagedAccess2000(GetParam());
  if (bytes.isEmpty())
    GTEST_SKIP()
        << testsupport::fixturesMissing(QStringLiteral("functionsV2000.mdb")).toStdString();
  QTemporaryDir dir;
  const QString old = dir.filePath(QStringLiteral("旧.mdb")), target = dir.filePath("新.mdb");
  store::testfiles::writeBytes(old, bytes);

  QProcess command;
  command.start(QStringLiteral(SORVANE_CONVERT_PROGRAM), {old, target});
  ASSERT_TRUE(command.waitForFinished(60000));
  EXPECT_EQ(command.exitCode(), 1);
  EXPECT_EQ(command.readAllStandardOutput(), QByteArray());
  EXPECT_EQ(QString::fromUtf8(command.readAllStandardError()),
            QStringLiteral("“%1”已经损坏或不完整，不能读取其中的记录。文件没有改动。\n").arg(old));
  EXPECT_EQ(fileBytes(old), bytes);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"旧.mdb"});
  EXPECT_LT(peakMiB(RUSAGE_CHILDREN), 256);
}

INSTANTIATE_TEST_SUITE_P(Access2000, DamagedProperties,
                         testing::ValuesIn(testsupport::kPropertyDamages),
                         [](const auto& info) { return std::string(info.param.name); });

class RunawayChild : public testing::TestWithParam<const char*> {};

TEST_P(RunawayChild, IsEndedByItsLimitsWithTheDamagedFileMessage) {
  QTemporaryDir dir;
  const QString old = dir.filePath(QString::fromLatin1(GetParam()));
  store::testfiles::writeBytes(old, "stands in for an Access file");
  const long before = peakMiB(RUSAGE_SELF);
  int ticks = 0;
  const ChildOptions options{QStringLiteral(SORVANE_STAND_IN_CONVERTER),
                             {quint64(1) << 30, 1},
                             [&](qint64, qint64) { ++ticks; }};
  try {
    convertJetFileInChild(old, dir.filePath(QStringLiteral("新.mdb")), options);
    ADD_FAILURE() << "the child's end was taken for a conversion";
  } catch (const store::StoreError& error) {
    EXPECT_EQ(error.message(),
              QStringLiteral("“%1”已经损坏或无法读取，没有转换任何记录。文件没有改动。").arg(old));
  }
  EXPECT_GT(ticks, 0);
  EXPECT_LT(peakMiB(RUSAGE_SELF) - before, 32);
  EXPECT_LT(peakMiB(RUSAGE_CHILDREN), 1100);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(StandIn, RunawayChild, testing::Values("allocate.mdb", "loop.mdb"),
                         [](const auto& info) {
                           return std::string(info.param).starts_with("allocate") ? "Allocating"
                                                                                  : "Looping";
                         });

}  // namespace
}  // namespace sorvane::jet
