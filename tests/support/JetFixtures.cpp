#include "support/JetFixtures.h"

#include <sys/mman.h>
#include <unistd.h>
#include <QDir>

#include <QFile>
#include <cstdio>

namespace sorvane::testsupport {

QString jetFixturesFolder() {
  const QString chosen = qEnvironmentVariable("SORVANE_JET_FIXTURES");
  return QDir::cleanPath(chosen.isEmpty() ? QStringLiteral(SORVANE_DEFAULT_JET_FIXTURES) : chosen);
}

QByteArray jetFixture(const QString& name) {
  QFile file(QDir(jetFixturesFolder()).filePath(name));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString fixturesMissing(const QString& name) {
  return QStringLiteral(
             "no %1 in %2 (set SORVANE_JET_FIXTURES to the folder of the real Access files)")
      .arg(name, jetFixturesFolder());
}

QByteArray damagedAccess2000(const PropertyDamage& damage) {
  QByteArray bytes = jetFixture(QStringLiteral("functionsV2000.mdb"));
  if (bytes.size() <= damage.offset || bytes[damage.offset] != damage.was) return {};
  bytes[damage.offset] = damage.becomes;
  return bytes;
}

}  // namespace sorvane::testsupport

namespace sorvane::testsupport {

CapturedOutput::CapturedOutput() {
  std::fflush(stdout);
  std::fflush(stderr);
  file_ = ::memfd_create("printed", 0);
  out_ = ::dup(1);
  err_ = ::dup(2);
  ::dup2(file_, 1);
  ::dup2(file_, 2);
}

CapturedOutput::~CapturedOutput() { taken(); }

QByteArray CapturedOutput::taken() {
  if (file_ < 0) return {};
  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(out_, 1);
  ::dup2(err_, 2);
  QByteArray printed(qsizetype(::lseek(file_, 0, SEEK_END)), '\0');
  if (::pread(file_, printed.data(), size_t(printed.size()), 0) != printed.size()) printed.clear();
  for (int fd : {file_, out_, err_}) ::close(fd);
  file_ = -1;
  return printed;
}

}  // namespace sorvane::testsupport
