// The meter on a real serial port: a pseudo-terminal pair stands in for it, the test writing
// to the far end what a meter sends, the program opening the near end as its port.

#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <string_view>

#include "app/ReadingSeries.h"
#include "app/WindowModel.h"
#include "app/pH.h"
#include "fakes/FakePlatform.h"
#include "platform/QtDialogs.h"
#include "platform/QtMeter.h"
#include "widgets/FormsButton.h"

namespace sorvane::app {
namespace {

using fakes::FakeInputBox;
using platform::QtMeter;

class PtyMeter {
 public:
  PtyMeter() {
    EXPECT_EQ(::openpty(&far_, &near_, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
    path = QString::fromLocal8Bit(::ttyname(near_));
  }
  ~PtyMeter() {
    unplug();
    ::close(near_);
  }
  void send(const char* bytes) const {
    EXPECT_EQ(::write(far_, bytes, std::strlen(bytes)), ssize_t(std::strlen(bytes)));
  }
  // Waits until what was sent has reached the near end, where a port just opened finds it.
  bool held() const {
    pollfd wait{near_, POLLIN, 0};
    return ::poll(&wait, 1, 5000) == 1;
  }
  void unplug() {
    if (far_ >= 0) ::close(far_);
    far_ = -1;
  }
  QString path;

 private:
  int far_ = -1, near_ = -1;
};

std::unique_ptr<QtMeter> meterOn(const QString& port, const char* more = "") {
  return QtMeter::fromSettings(platform::IniFile::parse(
      QStringLiteral("[meter]\nport = %1\n%2").arg(port, QString::fromUtf8(more)).toUtf8()));
}

bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }

TEST(MeterPortTest, ReadingsGoOnlyToTheDialogOpenWhenTheirLineEnds) {
  PtyMeter pty;
  const auto meter = meterOn(pty.path);
  fakes::FakeMessageBox messages;
  QStringList fed;
  pty.send("6.00\r\n");  // held from before the series: discarded as the port opens
  ASSERT_TRUE(pty.held());
  {
    ReadingSeries series(meter.get(), messages);
    QObject::connect(series.dialogOpened(), &platform::InputFeed::text,
                     [&](const QString& text) { fed << text; });
    pty.send("pH 7.0");  // one line in two writes
    pty.send("1\r\n");
    ASSERT_TRUE(waitFor([&] { return fed.size() == 1; })) << fed.join(u' ').toStdString();
    pty.send("7.02\r\n7.03\r\n");  // two lines in one write, the later replacing the first
    ASSERT_TRUE(waitFor([&] { return fed.size() == 3; }));
    series.dialogClosed();

    // A line, and the start of another, while no dialog is open.
    QSignalSpy received(meter.get(), &platform::Meter::received);
    pty.send("9.99\r\n9.");
    ASSERT_TRUE(waitFor([&] { return received.size() > 0; }));
    series.dialogOpened();
    pty.send("9\r\n7.04\r\n");
    ASSERT_TRUE(waitFor([&] { return fed.size() == 4; }));
  }
  EXPECT_EQ(fed, (QStringList{"7.01", "7.02", "7.03", "7.04"}));
  EXPECT_TRUE(messages.messages.isEmpty());
  EXPECT_EQ(meterOn(pty.path)->open(), std::nullopt);  // the series closed it for other programs
}

// The main window with the real meter and scripted dialogs.
struct MeterWindow {
  explicit MeterWindow(platform::Meter* meter)
      : windows((fake.services.meter = meter, fake.services)) {
    windows.mainWindow().show();
  }
  QString compute(std::initializer_list<std::optional<QString>> answers) {
    fake.inputBox.script(answers);
    windows.mainWindow().Com1->click();
    return windows.mainWindow().Tx1->text();
  }
  fakes::FakePlatform fake;
  WindowModel windows;
};

// A port that cannot be opened: one message for the series, naming the port and what to do,
// and the readings typed.
struct FaultCase {
  const char* name;
  const char* port;  // none: the pseudo-terminal's near end
  const char* more;  // further settings
  const char* says;  // a part of the message
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class PortFaultTest : public testing::TestWithParam<FaultCase> {};

std::string typedSeriesWithFault(const FaultCase& c) {
  const std::string_view name = c.name;
  PtyMeter pty;
  const QString port = c.port ? QString::fromUtf8(c.port) : pty.path;
  const auto otherProgram = meterOn(port);
  if (name == "Busy") EXPECT_EQ(otherProgram->open(), std::nullopt);
  if (name == "NoPermission") ::chmod(pty.path.toLocal8Bit().constData(), 0);  // all but root
  const auto meter = meterOn(port, c.more);
  MeterWindow window(meter.get());
  const QString mean = window.compute({"3", "7", "8", "9"});
  const QStringList& messages = window.fake.messageBox.messages;
  if (mean != "7.43" || messages.size() != 1 || !messages[0].contains(port) ||
      !messages[0].contains(QString::fromUtf8(c.says)))
    return (mean + " | " + messages.join(u'|')).toStdString();
  return {};
}

TEST_P(PortFaultTest, ToldOnceThenTyped) {
  if (std::string_view(GetParam().name) != "NoPermission") {
    EXPECT_EQ(typedSeriesWithFault(GetParam()), "");
    return;
  }
  // Root opens any file whatever its mode, so as root the child that tries is nobody.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
          std::exit(2);
        const std::string wrong = typedSeriesWithFault(GetParam());
        std::fputs(wrong.c_str(), stderr);
        std::exit(wrong.empty() ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Table, PortFaultTest,
                         testing::Values(FaultCase{"Missing", "/dev/ttySorvaneNone", "", "找不到"},
                                         FaultCase{"Busy", nullptr, "", "其他程序"},
                                         FaultCase{"NoPermission", nullptr, "", "dialout"},
                                         FaultCase{"WrongSettings", nullptr, "baud = fast\n",
                                                   "baud"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The road a technician takes: three samples, the meter's "print" key pressed for the first
// two and each reading accepted with Enter; then the meter is unplugged halfway through a
// line, which is told once, and the third reading is typed.
TEST(MeterRoadTest, TwoReadingsFromTheMeterAndOneTypedGiveTheMean) {
  PtyMeter pty;
  const auto meter = meterOn(pty.path);
  fakes::FakePlatform fake;
  platform::QtInputBox dialogs;
  fake.services.inputBox = &dialogs;
  fake.services.meter = meter.get();
  WindowModel windows(fake.services);
  windows.mainWindow().show();

  const struct {
    const char* prompt;
    const char* meterSends;
    const char* fieldShows;  // all of it selected
    const char* typed;
  } steps[] = {{"请输入样本数 N= ", "", "", "3"},
               {"请输入第 1 个 pH 值", "pH 7.00\r\n", "7.00", ""},
               {"请输入第 2 个 pH 值",
                "8.00 pH  25.0 \xc2\xb0"
                "C\r\n",
                "8.00", ""},
               {"请输入第 3 个 pH 值", "7.5", "", "9"}};
  std::size_t step = 0, sent = std::size(steps);
  int ticks = 0;
  QTimer person;
  QObject::connect(&person, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    if (++ticks > 500 || step == std::size(steps)) return dialog->reject();  // stuck: give up
    auto* field = dialog->findChild<QLineEdit*>();
    const auto& now = steps[step];
    if (sent != step) {  // the step's dialog is new: the meter's key is pressed
      sent = step;
      EXPECT_EQ(dialog->labelText(), QString::fromUtf8(now.prompt));
      pty.send(now.meterSends);
      if (step == 3) pty.unplug();
    }
    if (step == 3 && fake.messageBox.messages.isEmpty()) return;
    if (field->text() != now.fieldShows || field->selectedText() != field->text()) return;
    QTest::keyClicks(field, QString::fromUtf8(now.typed));
    QTest::keyClick(field, Qt::Key_Return);
    ++step;
  });
  person.start(20);
  windows.mainWindow().Com1->click();

  EXPECT_EQ(step, std::size(steps));
  EXPECT_EQ(windows.mainWindow().Tx1->text(), "7.43");
  ASSERT_EQ(fake.messageBox.messages.size(), 1);
  EXPECT_TRUE(fake.messageBox.messages[0].contains(pty.path + " 断开"));
}

}  // namespace
}  // namespace sorvane::app
