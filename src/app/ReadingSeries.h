#pragma once

#include <QObject>
#include <QRegularExpression>

#include "numbers/MeterLine.h"
#include "platform/InputBox.h"

namespace sorvane::platform {
class Meter;
class MessageBox;
struct MeterFault;
}  // namespace sorvane::platform

namespace sorvane::app {

// One series of reading dialogs and the meter that fills them. The meter's port opens with
// the series' first reading dialog and closes when the series ends (this object goes), so
// other programs can use the meter between series. A reading goes only to the dialog open
// when its line ends: lines begun or ended while no reading dialog is open are dropped. A
// meter that cannot be used is told of once per series and tried again at the next dialog;
// typing goes on either way.
class ReadingSeries final : public QObject {
 public:
  // Without a meter the dialogs are only typed into.
  ReadingSeries(platform::Meter* meter, platform::MessageBox& messages);
  ~ReadingSeries() override;

  // A reading dialog opens: the feed for its field, until dialogClosed.
  platform::InputFeed* dialogOpened();
  void dialogClosed() { dialogOpen_ = false; }

 private:
  void receive(const QByteArray& bytes);
  void tellOnce(const QString& message);
  QString faultMessage(const platform::MeterFault& fault) const;

  platform::Meter* meter_;
  platform::MessageBox& messages_;
  QRegularExpression pattern_;
  numbers::MeterLines lines_;
  platform::InputFeed feed_;
  bool portOpen_ = false;
  bool dialogOpen_ = false;
  bool told_ = false;
};

}  // namespace sorvane::app
