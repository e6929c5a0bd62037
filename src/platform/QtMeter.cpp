#include "QtMeter.h"

#include <QMetaObject>
#include <QRegularExpression>
#include <initializer_list>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace sorvane::platform {

namespace {

const QString kSection = QStringLiteral("meter");

// The value of a key among named choices, case aside; the default when the key is absent.
// Sets error when the value is none of them.
template <typename T>
T choice(const IniFile& settings, const char* key, T fallback,
         std::initializer_list<std::pair<const char*, T>> choices, QString& error) {
  const std::optional<QString> text = settings.value(kSection, QString::fromLatin1(key));
  if (!text) return fallback;
  for (const auto& [name, value] : choices)
    if (text->compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return value;
  if (error.isEmpty())
    error = QStringLiteral("%1 的值“%2”无效").arg(QString::fromLatin1(key), *text);
  return fallback;
}

}  // namespace

QtMeter::QtMeter() {
  // A device unplugged fails reading (a pseudo-terminal whose far end closed reads nothing,
  // which Qt reports as a read error, again and again until closed). Queued: the port is
  // closed outside the notification that reports its failure.
  connect(
      &port_, &QSerialPort::errorOccurred, this,
      [this](QSerialPort::SerialPortError error) {
        const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
        if (!gone || !port_.isOpen()) return;
        port_.close();
        emit lost();
      },
      Qt::QueuedConnection);
  connect(&port_, &QSerialPort::readyRead, this, [this] { emit received(port_.readAll()); });
}

std::unique_ptr<QtMeter> QtMeter::fromSettings(const IniFile& settings) {
  if (!settings.hasSection(kSection)) return nullptr;
  std::unique_ptr<QtMeter> meter(new QtMeter);
  QString& error = meter->settingsError_;
  const QString port = settings.value(kSection, QStringLiteral("port")).value_or(QString());
  if (port.isEmpty()) error = QStringLiteral("缺少 port（串口名）");
  meter->name_ = port;
  meter->port_.setPortName(port);

  const QString baudText =
      settings.value(kSection, QStringLiteral("baud")).value_or(QStringLiteral("9600"));
  bool isNumber = false;
  const int baud = baudText.toInt(&isNumber);
  if ((!isNumber || baud <= 0) && error.isEmpty())
    error = QStringLiteral("baud 的值“%1”无效").arg(baudText);
  meter->port_.setBaudRate(isNumber && baud > 0 ? baud : 9600);

  using P = QSerialPort;
  meter->port_.setDataBits(
      choice(settings, "data bits", P::Data8,
             {{"5", P::Data5}, {"6", P::Data6}, {"7", P::Data7}, {"8", P::Data8}}, error));
  meter->port_.setParity(choice(settings, "parity", P::NoParity,
                                {{"none", P::NoParity},
                                 {"even", P::EvenParity},
                                 {"odd", P::OddParity},
                                 {"space", P::SpaceParity},
                                 {"mark", P::MarkParity}},
                                error));
  meter->port_.setStopBits(
      choice(settings, "stop bits", P::OneStop,
             {{"1", P::OneStop}, {"1.5", P::OneAndHalfStop}, {"2", P::TwoStop}}, error));
  meter->port_.setFlowControl(choice(settings, "flow control", P::NoFlowControl,
                                     {{"none", P::NoFlowControl},
                                      {"hardware", P::HardwareControl},
                                      {"rts/cts", P::HardwareControl},
                                      {"software", P::SoftwareControl},
                                      {"xon/xoff", P::SoftwareControl}},
                                     error));

  meter->pattern_ = settings.value(kSection, QStringLiteral("pattern")).value_or(QString());
  const QRegularExpression pattern(meter->pattern_);
  if (!meter->pattern_.isEmpty() && error.isEmpty()) {
    if (!pattern.isValid())
      error = QStringLiteral("pattern 不是有效的正则表达式（%1）").arg(pattern.errorString());
    else if (pattern.captureCount() < 1)
      error = QStringLiteral("pattern 需要一个括号括起的捕获组，标出读数");
  }
  return meter;
}

std::optional<MeterFault> QtMeter::open() {
  if (!settingsError_.isEmpty()) return MeterFault{MeterFault::Settings, settingsError_};
  if (!port_.open(QIODevice::ReadOnly)) return openFault();
  discardInput();
  return std::nullopt;
}

MeterFault QtMeter::openFault() const {
  switch (port_.error()) {
    case QSerialPort::DeviceNotFoundError:
      return {MeterFault::Missing, {}};
    case QSerialPort::PermissionError: {
#ifndef _WIN32
      // Qt says the same for a port the user may not open and one another program holds.
      const QString path = name_.startsWith(u'/') ? name_ : QStringLiteral("/dev/") + name_;
      if (::access(path.toLocal8Bit().constData(), R_OK) != 0)
        return {MeterFault::NoPermission, {}};
#endif
      return {MeterFault::Busy, {}};
    }
    default:
      return {MeterFault::Other, port_.errorString()};
  }
}

void QtMeter::discardInput() {
  port_.clear(QSerialPort::Input);
  port_.readAll();
}

void QtMeter::close() { port_.close(); }

}  // namespace sorvane::platform
