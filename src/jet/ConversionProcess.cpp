#include "jet/ConversionProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <vector>

#include "jet/JetPhbReader.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"

namespace sorvane::jet {

using store::StoreError;

namespace {

// Off unless asked for (QT_LOGGING_RULES="sorvane.jet.info=true"): what a failed child
// printed, for whoever looks into a refused file.
Q_LOGGING_CATEGORY(lcChild, "sorvane.jet", QtWarningMsg)

constexpr int kReportFd = 3;
constexpr int kTickMs = 50;
constexpr qsizetype kKeptOutput = 4096;  // of each of the child's outputs, the last bytes

// ---- the child's report: one line each, "progress S T", then one of "done R KEPT",
// "none" or "error KIND NUMBER MESSAGE"; texts in Base64 of UTF-8 -----------------------

QByteArray encoded(const QString& s) { return s.toUtf8().toBase64(); }
QString decoded(const QByteArray& b) { return QString::fromUtf8(QByteArray::fromBase64(b)); }

void say(const QByteArray& line) {
  const QByteArray whole = line + '\n';
  for (qsizetype at = 0; at < whole.size();) {
    const ssize_t n = ::write(kReportFd, whole.constData() + at, size_t(whole.size() - at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // no parent listening: nothing to tell
    at += n;
  }
}

struct Answer {
  enum class Kind { None, Converted, Failed } kind = Kind::None;
  Conversion done;
  std::optional<StoreError> error;
};

// One line of the report; false for a line that is not one.
bool hear(const QByteArray& line, qint64& stored, qint64& total, std::optional<Answer>& answer) {
  const QList<QByteArray> words = line.split(' ');
  bool ok = true, ok2 = true, ok3 = true;
  if (words[0] == "progress" && words.size() == 3) {
    stored = words[1].toLongLong(&ok);
    total = words[2].toLongLong(&ok2);
  } else if (words[0] == "done" && words.size() == 3) {
    answer = Answer{Answer::Kind::Converted, {words[1].toLongLong(&ok), decoded(words[2])}, {}};
  } else if (words[0] == "none" && words.size() == 1) {
    answer = Answer{};
  } else if (words[0] == "error" && words.size() == 4) {
    const int kind = words[1].toInt(&ok), number = words[2].toInt(&ok2, 10);
    ok3 = kind >= 0 && kind <= int(StoreError::Kind::NotConverted);
    answer = Answer{
        Answer::Kind::Failed, {}, StoreError(StoreError::Kind(kind), number, decoded(words[3]))};
  } else {
    return false;
  }
  return ok && ok2 && ok3;
}

// ---- the parent's side ------------------------------------------------------------------

struct Pipe {
  int read = -1, write = -1;
  bool open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    read = fds[0];
    write = fds[1];
    return true;
  }
  void closeRead() {
    if (read >= 0) ::close(read);
    read = -1;
  }
  void closeWrite() {
    if (write >= 0) ::close(write);
    write = -1;
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
};

// What libmdb printed, for the log: printable text, without its hex dumps of the file.
QString printable(const QByteArray& output) {
  static const QRegularExpression dump(
      QStringLiteral("^[0-9a-fA-F]{4}\\s+([0-9a-fA-F]{2}\\s+){4}"));
  QStringList kept;
  for (const QString& line : QString::fromUtf8(output).split(u'\n')) {
    if (dump.match(line).hasMatch()) continue;
    QString clean;
    for (QChar c : line) clean += c.isPrint() ? c : u'?';
    if (!clean.trimmed().isEmpty()) kept << clean.trimmed();
  }
  return kept.join(QStringLiteral(" | "));
}

StoreError damagedOrUnreadable(const QString& path) {
  return StoreError(
      StoreError::Kind::NotConverted, store::legacy::kUnrecognizedFormat,
      QStringLiteral("“%1”已经损坏或无法读取，没有转换任何记录。文件没有改动。").arg(path));
}

// Starts the child with its standard output and error and the report each on a pipe of
// its own and its limits set. Returns its process id, or -1.
pid_t start(const ChildOptions& options, const QStringList& arguments, Pipe& report, Pipe& out,
            Pipe& err) {
  std::vector<std::string> words{QFile::encodeName(options.program).toStdString(), kWorkerSwitch};
  for (const QString& a : arguments) words.push_back(QFile::encodeName(a).toStdString());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const rlimit memory{rlim_t(options.limits.addressSpace), rlim_t(options.limits.addressSpace)};
  const rlimit cpu{rlim_t(options.limits.cpuSeconds), rlim_t(options.limits.cpuSeconds + 1)};
  const pid_t parent = ::getpid();

  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Only async-signal-safe calls from here to the new program.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a conversion left alone ends; its steps stay safe
  if (::getppid() != parent || ::setrlimit(RLIMIT_AS, &memory) != 0 ||
      ::setrlimit(RLIMIT_CPU, &cpu) != 0 || ::dup2(report.write, kReportFd) < 0 ||
      ::dup2(out.write, 1) < 0 || ::dup2(err.write, 2) < 0)
    ::_exit(127);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// The child's three pipes, read as they fill: the report line by line, the outputs' last
// bytes kept for the log.
class Listener {
 public:
  Listener(Pipe& report, Pipe& out, Pipe& err) : pipes_{&report, &out, &err} {}

  // Waits a tick for the child; false once it has closed every pipe.
  bool listen() {
    std::vector<pollfd> watched;
    for (Pipe* p : pipes_)
      if (p->read >= 0) watched.push_back({p->read, POLLIN, 0});
    if (watched.empty()) return false;
    if (::poll(watched.data(), nfds_t(watched.size()), kTickMs) < 0 && errno != EINTR) return false;
    for (const pollfd& w : watched)
      if (w.revents & (POLLIN | POLLHUP | POLLERR)) take(w.fd);
    return true;
  }

  qint64 stored = 0, total = 0;
  std::optional<Answer> answer;
  bool garbled = false;
  QByteArray printed() const { return heard_[1] + heard_[2]; }

 private:
  void take(int fd) {
    size_t which = 0;
    while (pipes_[which]->read != fd) ++which;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) return pipes_[which]->closeRead();
    QByteArray& heard = heard_[which];
    heard.append(buffer, n);
    if (which != 0) {
      if (heard.size() > kKeptOutput) heard.remove(0, heard.size() - kKeptOutput);
      return;
    }
    for (qsizetype end; (end = heard.indexOf('\n')) >= 0; heard.remove(0, end + 1))
      garbled |= !hear(heard.left(end), stored, total, answer);
    garbled |= heard.size() > kKeptOutput;
  }

  std::array<Pipe*, 3> pipes_;
  std::array<QByteArray, 3> heard_;
};

// Runs the worker with `arguments` until it ends; the answer it gave, or a damaged-file
// refusal of `path` when it gave none.
Answer runWorker(const QString& path, const QStringList& arguments, const ChildOptions& options) {
  if (!QFileInfo(options.program).isExecutable())
    throw StoreError(StoreError::Kind::NotConverted, store::legacy::kCannotOpen,
                     QStringLiteral("找不到转换程序“%1”，不能转换“%2”。文件没有改动。")
                         .arg(options.program, path));
  Pipe report, out, err;
  if (!report.open() || !out.open() || !err.open()) throw damagedOrUnreadable(path);
  const pid_t pid = start(options, arguments, report, out, err);
  if (pid < 0) throw damagedOrUnreadable(path);
  report.closeWrite();
  out.closeWrite();
  err.closeWrite();
  Listener child(report, out, err);
  while (child.listen())
    if (options.progress) options.progress(child.stored, child.total);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (child.answer && !child.garbled && WIFEXITED(status) && WEXITSTATUS(status) == 0)
    return *child.answer;
  const QString how = WIFSIGNALED(status) ? QStringLiteral("by signal %1").arg(WTERMSIG(status))
                                          : QStringLiteral("with %1").arg(WEXITSTATUS(status));
  qCInfo(lcChild).noquote() << "converting" << path << "ended" << how << printable(child.printed());
  throw damagedOrUnreadable(path);
}

// A file the usual opening reports on: missing, unreadable, or not an Access file.
bool leftToTheUsualOpening(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) return true;
  try {
    return classifyJetFile(path) == JetFileKind::NotJet;
  } catch (const JetReadError&) {
    return true;
  }
}

// ---- the child's side -------------------------------------------------------------------

ConversionOptions reporting() {
  ConversionOptions options;
  options.progress = [](qint64 stored, qint64 total) {
    say("progress " + QByteArray::number(stored) + ' ' + QByteArray::number(total));
  };
  return options;
}

}  // namespace

ChildLimits ChildLimits::forFile(qint64 bytes) {
  ChildLimits limits;
  // A conversion takes well under a second of CPU time for each megabyte; a second for
  // each, above the base.
  limits.cpuSeconds += int(std::min<qint64>(bytes / (1 << 20), 100000));
  return limits;
}

std::optional<Conversion> convertJetFileInPlaceInChild(const QString& path,
                                                       const ChildOptions& options) {
  if (leftToTheUsualOpening(path)) return std::nullopt;
  const Answer answer = runWorker(path, {QStringLiteral("in-place"), path}, options);
  if (answer.error) throw *answer.error;
  if (answer.kind == Answer::Kind::None) return std::nullopt;
  return answer.done;
}

Conversion convertJetFileInChild(const QString& oldPath, const QString& newPath,
                                 const ChildOptions& options) {
  const Answer answer = runWorker(oldPath, {QStringLiteral("new"), oldPath, newPath}, options);
  if (answer.error) throw *answer.error;
  if (answer.kind != Answer::Kind::Converted) throw damagedOrUnreadable(oldPath);
  return answer.done;
}

int runConversionWorker(const QStringList& arguments) {
  try {
    if (arguments.size() == 2 && arguments[0] == QStringLiteral("in-place")) {
      const auto done = convertJetFileInPlace(arguments[1], reporting());
      say(done ? "done " + QByteArray::number(done->records) + ' ' + encoded(done->keptOriginal)
               : QByteArray("none"));
      return 0;
    }
    if (arguments.size() == 3 && arguments[0] == QStringLiteral("new")) {
      const Conversion done = convertJetFile(arguments[1], arguments[2], reporting());
      say("done " + QByteArray::number(done.records) + ' ' + encoded(done.keptOriginal));
      return 0;
    }
    return 2;
  } catch (const StoreError& error) {
    say("error " + QByteArray::number(int(error.kind())) + ' ' +
        QByteArray::number(error.number()) + ' ' + encoded(error.message()));
    return 0;
  }
}

}  // namespace sorvane::jet
