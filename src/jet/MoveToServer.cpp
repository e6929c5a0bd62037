#include "jet/MoveToServer.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "jet/ConversionProcess.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"

namespace sorvane::jet {

store::MoveReport moveResultsToServer(const QString& conninfo, const QString& source,
                                      const QString& converter, const MoveProgress& progress) {
  store::MoveOptions options;
  if (progress)
    options.progress = [&progress](qint64 sent, qint64 total) {
      progress(MoveStage::Sending, sent, total);
    };
  try {
    return store::moveFileToServer(conninfo, source, options);
  } catch (const store::StoreError& error) {
    if (error.kind() != store::StoreError::Kind::JetDatabase) throw;
  }
  // The Access file goes through the conversion the program itself uses, in a child under
  // its limits, into a file of today's format that lives only as long as the move.
  QTemporaryDir folder;
  if (!folder.isValid())
    throw store::failures::conversionCannotWrite(source, QDir::tempPath(), folder.errorString());
  const QString converted = folder.filePath(QStringLiteral("phjz.mdb"));
  ChildOptions child{converter, ChildLimits::forFile(QFileInfo(source).size()), {}};
  if (progress)
    child.progress = [&progress](qint64 stored, qint64 total) {
      progress(MoveStage::ReadingAccess, stored, total);
    };
  convertJetFileInChild(source, converted, child);
  options.shownPath = source;
  options.keepHistory = false;
  return store::moveFileToServer(conninfo, converted, options);
}

}  // namespace sorvane::jet
