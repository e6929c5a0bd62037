// Converting an Access phjz.mdb. The new file is made under a temporary name in the same
// folder and reaches the disk before anything else happens; the original then gets a second
// name (a hard link, or a copy where links cannot be made), and only then does the new
// file take the original's name, by one rename. A process killed at any instant therefore
// leaves the untouched original under the name, or the complete new file and the kept
// original; a temporary file left behind is removed by the next conversion.

#include "jet/JetConversion.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "jet/JetPhbReader.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"
#include "store/sqlite/PhbFileWriter.h"

namespace sorvane::jet {

using store::StoreError;
namespace failures = store::failures;
namespace legacy = store::legacy;

namespace {

// ---- files -------------------------------------------------------------------------------

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// A file descriptor, closed with its owner.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

QString why(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return QStringLiteral("没有写入权限");
    case ENOSPC:
    case EDQUOT:
      return QStringLiteral("磁盘已满");
    default:
      return QStringLiteral("系统错误 %1").arg(error);
  }
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The entries of a folder reach the disk: the rename or link before it survives a crash.
bool syncFolder(const QString& folder) {
  const Fd dir(::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.valid() && ::fsync(dir.get()) == 0;
}

bool syncFile(const QString& path) {
  const Fd file(::open(native(path).constData(), O_RDWR | O_CLOEXEC));
  return file.valid() && ::fsync(file.get()) == 0;
}

// Temporary names start with a dot and the final name, so they sort beside it and a
// later conversion of the same file can find the ones a killed one left.
QString temporaryPrefix(const QString& path, const char* purpose) {
  const QFileInfo info(path);
  return QDir(info.absolutePath())
      .filePath(QStringLiteral(".%1.%2-").arg(info.fileName(), QLatin1String(purpose)));
}

struct NewFile {
  QString path;  // empty when none could be made; errno says why
  Fd fd;
};

// A new empty file under a free temporary name; the mode is 0666 less the umask.
NewFile createTemporary(const QString& prefix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString path =
        prefix + QString::number(QRandomGenerator::global()->generate64(), 36).right(10);
    Fd fd(::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.valid()) return {path, std::move(fd)};
    if (errno != EEXIST) return NewFile{};
  }
  errno = EEXIST;
  return NewFile{};
}

void removeStaleTemporaries(const QString& path) {
  const QFileInfo info(path);
  QDir folder(info.absolutePath());
  const QStringList stale =
      folder.entryList({QStringLiteral(".%1.converting-*").arg(info.fileName()),
                        QStringLiteral(".%1.original-*").arg(info.fileName())},
                       QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& name : stale) folder.remove(name);
}

// ---- the new file ------------------------------------------------------------------------

StoreError fromReader(const JetReadError& error, const QString& path) {
  switch (error.kind()) {
    case JetReadError::Kind::FileMissing:
      return failures::fileMissing(path);
    case JetReadError::Kind::Unreadable:
      return failures::fileUnreadable(path);
    case JetReadError::Kind::NotJet:
      return failures::notAJetFile(path);
    case JetReadError::Kind::BadRecord:
      return failures::notConverted(error.message(), legacy::kConversion);
    default:
      return failures::notConverted(error.message(), legacy::kUnrecognizedFormat);
  }
}

void reach(const ConversionOptions& options, ConversionStep step) {
  if (options.stepReached) options.stepReached(step);
}

// Reads every record into the empty file `temporary`, commits and closes it.
qint64 storeRecords(JetPhbReader& reader, const QString& oldPath, const QString& temporary,
                    const ConversionOptions& options) {
  const qint64 total = reader.announcedCount();
  store::PhbFileWriter file(temporary);
  qint64 stored = 0;
  for (store::PhbRecord record; reader.next(record);) {
    try {
      file.add(record);
    } catch (const StoreError& error) {
      if (error.kind() != StoreError::Kind::RefusedValue) throw;
      throw failures::conversionRefusedValue(oldPath, record.position, record.identifier,
                                             error.message());
    }
    if (++stored == 1) reach(options, ConversionStep::FirstRecordStored);
    if (options.progress && stored % 1024 == 0) options.progress(stored, total);
  }
  file.commit();
  if (options.progress) options.progress(stored, total);
  return stored;
}

// Removes the temporary file unless it was handed on.
class Temporary {
 public:
  explicit Temporary(QString path) : path_(std::move(path)) {}
  ~Temporary() {
    if (!path_.isEmpty()) ::unlink(native(path_).constData());
  }
  const QString& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  QString path_;
};

QString folderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

// Makes a new file of every record of `oldPath` under a temporary name beside `target`.
// Throws StoreError; no temporary file is left then.
qint64 makeNewFile(JetPhbReader& reader, const QString& oldPath, Temporary& temporary,
                   const QString& target, const ConversionOptions& options) {
  try {
    const qint64 stored = storeRecords(reader, oldPath, temporary.path(), options);
    if (!syncFile(temporary.path()))
      throw failures::conversionCannotWrite(oldPath, folderOf(target), why(errno));
    reach(options, ConversionStep::TemporaryComplete);
    return stored;
  } catch (const JetReadError& error) {
    throw fromReader(error, oldPath);
  } catch (const StoreError& error) {
    if (error.kind() == StoreError::Kind::NotConverted) throw;
    // Writing the new file failed (the disk is full, say); the old one is untouched.
    throw failures::conversionCannotWrite(oldPath, folderOf(target), error.message());
  }
}

// Gives `from` the name `to` unless `to` exists: a hard link, and where the file system
// has none, a rename that refuses to replace. Returns 0 or the error.
int linkNoReplace(const QString& from, const QString& to, bool& linked) {
  linked = ::link(native(from).constData(), native(to).constData()) == 0;
  if (linked) return 0;
  if (errno == EEXIST) return EEXIST;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK && errno != ENOSYS)
    return errno;
  if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(),
                  RENAME_NOREPLACE) == 0)
    return 0;
  return errno;
}

// A copy of the file open as `source`, on the disk, under a temporary name; empty, with
// errno set, when it cannot be made.
QString copyToTemporary(int source, const QString& path) {
  NewFile copy = createTemporary(temporaryPrefix(path, "original"));
  if (copy.path.isEmpty()) return {};
  char buffer[1 << 16];
  bool written = true;
  for (off_t at = 0; written;) {
    const ssize_t n = ::pread(source, buffer, sizeof buffer, at);
    if (n == 0) break;
    written = n > 0 && ::write(copy.fd.get(), buffer, size_t(n)) == n;
    at += n;
  }
  if (written && ::fsync(copy.fd.get()) == 0) return copy.path;
  const int error = errno;
  ::unlink(native(copy.path).constData());
  errno = error;
  return {};
}

// Gives the original (open as `original`, described by `held`) a second name. `made` says
// whether this call made it, rather than finding one an earlier, killed conversion made.
QString keepOriginal(const QString& path, int original, const struct stat& held, bool& made) {
  made = false;
  QString copy;  // the copy made where no hard link can be, used for every later name tried
  for (int attempt = 1; attempt < 1000; ++attempt) {
    const QString kept = keptOriginalName(path, attempt);
    struct stat seen {};
    if (::lstat(native(kept).constData(), &seen) == 0) {
      if (sameFile(seen, held)) return kept;
      continue;
    }
    bool linked = false;
    const int error = linkNoReplace(copy.isEmpty() ? path : copy, kept, linked);
    if (error == 0) {
      struct stat now {};
      // The name must hold the file this conversion read, not one put there meanwhile.
      if (linked && copy.isEmpty() &&
          (::stat(native(kept).constData(), &now) != 0 || !sameFile(now, held))) {
        ::unlink(native(kept).constData());
        throw failures::conversionCannotWrite(path, folderOf(path), why(EBUSY));
      }
      if (!copy.isEmpty()) ::unlink(native(copy).constData());
      made = true;
      return kept;
    }
    if (error == EEXIST) continue;
    if (copy.isEmpty() && (error == EPERM || error == EOPNOTSUPP || error == EXDEV ||
                           error == EMLINK || error == ENOSYS || error == EINVAL)) {
      copy = copyToTemporary(original, path);
      if (!copy.isEmpty()) {
        --attempt;  // try the same name with the copy
        continue;
      }
    }
    if (!copy.isEmpty()) ::unlink(native(copy).constData());
    throw failures::conversionCannotWrite(path, folderOf(path), why(error));
  }
  if (!copy.isEmpty()) ::unlink(native(copy).constData());
  throw failures::conversionCannotWrite(path, folderOf(path), why(EEXIST));
}

// Every Access file goes to the reader, which says why one it cannot read is refused.
bool isConvertible(JetFileKind kind) { return kind != JetFileKind::NotJet; }

// The original, open and locked. Held until the new file has the name, so that a second
// program opening the file at the same time waits here and then finds the converted file.
struct HeldOriginal {
  Fd fd;
  struct stat held {};
};

// None when the path names another file by the time the lock is had.
std::optional<HeldOriginal> holdOriginal(const QString& path) {
  HeldOriginal original{Fd(::open(native(path).constData(), O_RDONLY | O_CLOEXEC))};
  if (!original.fd.valid()) return std::nullopt;
  while (::flock(original.fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) throw failures::conversionCannotWrite(path, folderOf(path), why(errno));
  }
  struct stat now {};
  if (::fstat(original.fd.get(), &original.held) != 0 ||
      ::stat(native(path).constData(), &now) != 0 || !sameFile(original.held, now))
    return std::nullopt;
  return original;
}

// Keeps the original under its second name, then gives the finished temporary file the
// name; returns where the original is kept.
QString replaceOriginal(const QString& path, const HeldOriginal& original, Temporary& temporary,
                        const ConversionOptions& options) {
  bool made = false;
  const QString kept = keepOriginal(path, original.fd.get(), original.held, made);
  const auto fail = [&](int error) {
    if (made) ::unlink(native(kept).constData());
    return failures::conversionCannotWrite(path, folderOf(path), why(error));
  };
  if (!syncFolder(folderOf(path))) throw fail(errno);
  reach(options, ConversionStep::OriginalKept);
  if (::rename(native(temporary.path()).constData(), native(path).constData()) != 0)
    throw fail(errno);
  temporary.release();
  reach(options, ConversionStep::Replaced);
  syncFolder(folderOf(path));  // the rename is done; a failure here changes nothing more
  reach(options, ConversionStep::Finished);
  return kept;
}

}  // namespace

QString keptOriginalName(const QString& path, int attempt) {
  const QFileInfo info(path);
  QString name = info.completeBaseName() + QStringLiteral("-旧版-Access");
  if (attempt > 1) name += QStringLiteral("-%1").arg(attempt);
  if (!info.suffix().isEmpty()) name += u'.' + info.suffix();
  return QDir(info.absolutePath()).filePath(name);
}

std::optional<Conversion> convertJetFileInPlace(const QString& path,
                                                const ConversionOptions& options) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) return std::nullopt;
  const auto classify = [&path]() -> std::optional<JetFileKind> {
    try {
      return classifyJetFile(path);
    } catch (const JetReadError&) {
      return std::nullopt;  // unreadable: the usual opening says so
    }
  };
  if (const auto kind = classify(); !kind || !isConvertible(*kind)) return std::nullopt;

  std::optional<HeldOriginal> original = holdOriginal(path);
  if (!original) return std::nullopt;  // converted by the other program meanwhile
  if (const auto kind = classify(); !kind || !isConvertible(*kind)) return std::nullopt;
  // A file that cannot be converted is refused before anything is written.
  std::optional<JetPhbReader> reader;
  try {
    reader.emplace(path);
  } catch (const JetReadError& error) {
    throw fromReader(error, path);
  }
  reach(options, ConversionStep::Locked);
  removeStaleTemporaries(path);

  Temporary temporary(createTemporary(temporaryPrefix(path, "converting")).path);
  if (temporary.path().isEmpty())
    throw failures::conversionCannotWrite(path, folderOf(path), why(errno));
  reach(options, ConversionStep::TemporaryCreated);
  Conversion done;
  done.records = makeNewFile(*reader, path, temporary, path, options);
  // The converted file keeps the original's permissions (a read-only one stays read-only).
  ::chmod(native(temporary.path()).constData(), original->held.st_mode & 07777);
  done.keptOriginal = replaceOriginal(path, *original, temporary, options);
  return done;
}

Conversion convertJetFile(const QString& oldPath, const QString& newPath,
                          const ConversionOptions& options) {
  try {
    if (classifyJetFile(oldPath) == JetFileKind::NotJet) throw failures::notAJetFile(oldPath);
  } catch (const JetReadError& error) {
    throw fromReader(error, oldPath);
  }
  // Early, so that no work is wasted; the link below is what keeps an existing file.
  if (QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink())
    throw failures::conversionTargetExists(newPath);
  std::optional<JetPhbReader> reader;
  try {
    reader.emplace(oldPath);  // a bad file is refused before anything is written
  } catch (const JetReadError& error) {
    throw fromReader(error, oldPath);
  }

  Temporary temporary(createTemporary(temporaryPrefix(newPath, "new")).path);
  if (temporary.path().isEmpty())
    throw failures::conversionCannotWrite(oldPath, folderOf(newPath), why(errno));
  reach(options, ConversionStep::TemporaryCreated);
  Conversion done;
  done.records = makeNewFile(*reader, oldPath, temporary, newPath, options);
  bool linked = false;
  const int error = linkNoReplace(temporary.path(), newPath, linked);
  if (error == EEXIST) throw failures::conversionTargetExists(newPath);
  if (error != 0) throw failures::conversionCannotWrite(oldPath, folderOf(newPath), why(error));
  if (!linked) temporary.release();  // renamed rather than linked: nothing left to remove
  reach(options, ConversionStep::Replaced);
  if (linked) {
    ::unlink(native(temporary.path()).constData());
    temporary.release();
  }
  syncFolder(folderOf(newPath));
  reach(options, ConversionStep::Finished);
  return done;
}

}  // namespace sorvane::jet
