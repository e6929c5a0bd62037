#pragma once

// Converting an Access file in a process of its own. libmdb is a C library that trusts the
// files it reads and prints on those it cannot parse; whatever a damaged file makes it do
// (allocate without end, loop, crash, print), the child ends under its limits, what it
// printed is kept away from the user, and the caller gets one message with every file as it
// was: the conversion's own steps leave a killed child's work whole or undone.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "jet/JetConversion.h"

namespace sorvane::jet {

// The limits the child runs under.
struct ChildLimits {
  quint64 addressSpace = quint64(1) << 30;  // bytes; a conversion stays near 16 MiB
  int cpuSeconds = 10;
  // For an Access file of `bytes`: more CPU time for a larger file.
  static ChildLimits forFile(qint64 bytes);
};

struct ChildOptions {
  QString program;  // sorvane-convert, which the child runs in its worker mode
  ChildLimits limits;
  // Called about every 50 ms while the child runs, with the records stored so far and the
  // number the old table announces (both 0 until the child has said).
  std::function<void(qint64 stored, qint64 total)> progress;
};

// convertJetFileInPlace and convertJetFile, each run in a child. They throw StoreError
// as those do; a child that exceeds a limit, dies or gives no answer is refused as a damaged
// file. A file that is missing or not an Access file is left to the usual opening without a
// child being started.
std::optional<Conversion> convertJetFileInPlaceInChild(const QString& path,
                                                       const ChildOptions& options);
Conversion convertJetFileInChild(const QString& oldPath, const QString& newPath,
                                 const ChildOptions& options);

// The child's side, selected by this switch as the first argument: converts as the rest of
// `arguments` say and reports on file descriptor 3. Returns the exit code.
inline constexpr char kWorkerSwitch[] = "--worker";
int runConversionWorker(const QStringList& arguments);

}  // namespace sorvane::jet
