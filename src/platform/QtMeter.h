#pragma once

#include <QSerialPort>
#include <memory>

#include "platform/IniFile.h"
#include "platform/Meter.h"

namespace sorvane::platform {

// The meter on a serial port through Qt, set up by the [meter] section of the settings:
// port (required), baud (9600), data bits (8), parity (none), stop bits (1), flow control
// (none) and pattern.
class QtMeter final : public Meter {
 public:
  // No meter when the settings have no [meter] section. Wrong settings make a meter all the
  // same, whose every opening fails saying what is wrong, so the user hears of them.
  static std::unique_ptr<QtMeter> fromSettings(const IniFile& settings);

  QString portName() const override { return name_; }
  QString pattern() const override { return pattern_; }
  std::optional<MeterFault> open() override;
  void discardInput() override;
  void close() override;

 private:
  QtMeter();
  MeterFault openFault() const;

  QSerialPort port_;
  QString name_;  // as the settings give it; Qt shortens /dev/ttyUSB0 to ttyUSB0
  QString pattern_;
  QString settingsError_;
};

}  // namespace sorvane::platform
