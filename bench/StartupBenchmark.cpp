// Start-up to the main window's first paint, and peak memory, for Sorvane beside a bare
// Qt window with as many widgets, each started as a fresh process the same way and
// alternated in one run, so both see the same machine state. Prints the ratios.
//
//   startup_bench [rounds]            run the comparison (uses $QT_QPA_PLATFORM)
//   startup_bench --probe sorvane|bare  one start-up; prints "painted" on first paint

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchArguments.h"
#include "BenchTiming.h"
#include "app/QtServices.h"
#include "app/WindowModel.h"
#include "app/pH.h"
#include "platform/Fonts.h"

namespace {

using bench::median;

constexpr const char* kUsage = "usage: startup_bench [rounds]   (rounds: 1 or more, default 15)\n";

// Reports the first paint of one window, then ends the process once it is done.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(QWidget* window) : window_(window) {}
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_ && object->isWidgetType() &&
        static_cast<QWidget*>(object)->window() == window_) {
      seen_ = true;
      QMetaObject::invokeMethod(
          qApp,
          [] {
            std::puts("painted");
            std::fflush(stdout);
            std::_Exit(0);
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QWidget* window_;
  bool seen_ = false;
};

int probeSorvane(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  sorvane::platform::installFontSubstitutes();
  sorvane::app::QtServices platform;
  sorvane::app::WindowModel windows(platform.services());
  FirstPaint watch(&windows.mainWindow());
  application.installEventFilter(&watch);
  windows.mainWindow().show();
  return QApplication::exec();
}

int probeBare(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
  window.setFixedSize(404, 245);
  // As many widgets as the main window: a picture box, four buttons, three labels, a box.
  auto* picture = new QLabel(&window);
  picture->setGeometry(0, 0, 401, 241);
  for (int i = 0; i < 4; ++i)
    (new QPushButton(QStringLiteral("Button"), picture))->move(10, 30 * i);
  for (int i = 0; i < 3; ++i) (new QLabel(QStringLiteral("Label"), picture))->move(200, 30 * i);
  new QLineEdit(picture);
  FirstPaint watch(&window);
  application.installEventFilter(&watch);
  window.show();
  return QApplication::exec();
}

struct Sample {
  double milliseconds;
  long peakKiB;
};

Sample runProbe(const char* self, const char* which) {
  int out[2];
  if (pipe(out) != 0) std::perror("pipe");
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    // This program itself, also when started by a name found on the PATH.
    execl("/proc/self/exe", self, "--probe", which, static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[64];
  double milliseconds = -1;
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<size_t>(n));
    if (milliseconds < 0 && text.find("painted") != std::string::npos)
      milliseconds =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
  }
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return {milliseconds, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--probe") == 0) {
    if (std::strcmp(argv[2], "bare") == 0) return probeBare(argc, argv);
    if (std::strcmp(argv[2], "sorvane") == 0) return probeSorvane(argc, argv);
  }
  const auto rounds = argc > 1 ? bench::wholeNumber(argv[1], 1, 1000) : 15;
  if (argc > 2 || !rounds) return bench::wrongArguments(kUsage);

  // Qt warns on every start without a runtime folder; give the probes a private one.
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    char folder[] = "/tmp/startup-bench-XXXXXX";
    if (mkdtemp(folder)) setenv("XDG_RUNTIME_DIR", folder, 1);
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  std::vector<double> sorvaneMs, bareMs, sorvaneKiB, bareKiB;
  for (long round = 0; round < *rounds; ++round) {
    // Alternate which goes first so neither always meets a warmer cache.
    const bool bareFirst = round % 2 == 0;
    for (int k = 0; k < 2; ++k) {
      const bool bare = (k == 0) == bareFirst;
      const Sample s = runProbe(argv[0], bare ? "bare" : "sorvane");
      if (s.milliseconds < 0) {
        std::fprintf(stderr, "the %s probe did not paint\n", bare ? "bare" : "sorvane");
        return 1;
      }
      (bare ? bareMs : sorvaneMs).push_back(s.milliseconds);
      (bare ? bareKiB : sorvaneKiB).push_back(static_cast<double>(s.peakKiB));
    }
  }
  const double tS = median(sorvaneMs), tB = median(bareMs);
  const double mS = median(sorvaneKiB) / 1024, mB = median(bareKiB) / 1024;
  std::printf("platform %s, %ld rounds, medians\n", platform ? platform : "(default)", *rounds);
  std::printf("start-up to first paint: sorvane %.1f ms, bare %.1f ms, ratio %.2f\n", tS, tB,
              tS / tB);
  std::printf("peak memory:             sorvane %.1f MiB, bare %.1f MiB, ratio %.2f\n", mS, mB,
              mS / mB);
  return 0;
}
