#pragma once

// Bringing results over from a phjz.mdb that the Jet engine wrote (Access 97 or Access
// 2000-2003 format): every record of table phb, in the file's order, into a new file made
// from the build's template. Nothing is half done: a record that cannot be carried over
// exactly, or a file that cannot be read, leaves every file as it was.

#include <QString>
#include <functional>
#include <optional>

namespace sorvane::jet {

// What a conversion did.
struct Conversion {
  qint64 records = 0;
  // Converting in place: where the original now lies, byte for byte.
  QString keptOriginal;
};

// The points a conversion passes, in this order. A process killed after any of them
// leaves either the untouched original under its name, or the complete new file under
// that name with the original kept beside it.
enum class ConversionStep {
  Locked,             // the original is held against a second conversion
  TemporaryCreated,   // an empty file under a temporary name
  FirstRecordStored,  // inside the transaction that stores every record
  TemporaryComplete,  // every record committed and on the disk
  OriginalKept,       // the original's second name is on the disk (in place only)
  Replaced,           // the new file has taken the name
  Finished,           // the folder is on the disk
};

struct ConversionOptions {
  // Called now and then while records are stored, with the records stored so far and the
  // number the old table announces.
  std::function<void(qint64 stored, qint64 total)> progress;
  // Called at each step; tests stop the process there.
  std::function<void(ConversionStep)> stepReached;
};

// The name the original of `path` is kept under: phjz.mdb gives phjz-旧版-Access.mdb, then
// phjz-旧版-Access-2.mdb and so on when that one is taken.
QString keptOriginalName(const QString& path, int attempt);

// When the file at `path` is an Access (Jet) file, converts it in place: the new file takes
// the name and the original is kept beside it under keptOriginalName(). Returns no value,
// and changes nothing, for a file that is not an Access file or is missing, so that the
// usual opening reports on it. Throws StoreError, with every file left as it was, for an
// Access file that cannot be converted.
std::optional<Conversion> convertJetFileInPlace(const QString& path,
                                                const ConversionOptions& options = {});

// Converts the Access file `oldPath` into a new file `newPath`, which must not exist yet and
// is never overwritten. `oldPath` is only read. Throws StoreError.
Conversion convertJetFile(const QString& oldPath, const QString& newPath,
                          const ConversionOptions& options = {});

}  // namespace sorvane::jet
