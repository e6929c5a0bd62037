#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

namespace sorvane::platform {

// Why the meter's port cannot be used.
struct MeterFault {
  enum Kind {
    Missing,       // no such port: not plugged in, or a wrong name
    Busy,          // another program has it open
    NoPermission,  // the user may not open it (not in the port's group)
    Settings,      // the [meter] settings are wrong; detail says how
    Other,         // anything else; detail is the system's own words
  };
  Kind kind;
  QString detail;
};

// The serial port of a pH meter, which sends a line of text each time its print or send key
// is pressed. Bytes come as received; cutting them into lines is the reader's business.
class Meter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  // The port's name as the settings give it, for messages.
  virtual QString portName() const = 0;
  // The administrator's pattern for the reading in a line; empty for the default one.
  virtual QString pattern() const = 0;
  // Opens the port and discards whatever it held from before; no value when it opened.
  virtual std::optional<MeterFault> open() = 0;
  // Discards what arrived and was not yet passed on as received.
  virtual void discardInput() = 0;
  virtual void close() = 0;

 signals:
  void received(const QByteArray& bytes);
  // The open port stopped working, the meter or its adapter unplugged; it is closed now.
  void lost();
};

}  // namespace sorvane::platform
