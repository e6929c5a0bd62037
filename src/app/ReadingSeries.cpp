#include "ReadingSeries.h"

#include "platform/MessageBox.h"
#include "platform/Meter.h"

namespace sorvane::app {

using platform::MeterFault;

namespace {

const QString kTypingGoesOn = QStringLiteral("现在可以照常手工输入读数。");

}  // namespace

ReadingSeries::ReadingSeries(platform::Meter* meter, platform::MessageBox& messages)
    : meter_(meter), messages_(messages) {
  if (!meter_) return;
  pattern_ = meter_->pattern().isEmpty() ? numbers::defaultMeterPattern()
                                         : QRegularExpression(meter_->pattern());
  connect(meter_, &platform::Meter::received, this, &ReadingSeries::receive);
  connect(meter_, &platform::Meter::lost, this, [this] {
    portOpen_ = false;
    tellOnce(QStringLiteral("pH 计的串口 %1 断开了。请重新接好 pH 计，接好后从下一个读数起"
                            "即可再用 pH 计。")
                 .arg(meter_->portName()) +
             kTypingGoesOn);
  });
}

ReadingSeries::~ReadingSeries() {
  if (portOpen_) meter_->close();
}

platform::InputFeed* ReadingSeries::dialogOpened() {
  dialogOpen_ = true;
  if (!meter_) return &feed_;
  if (portOpen_) {
    // Whatever came before this dialog opened belongs to no dialog.
    meter_->discardInput();
    lines_.dropCurrentLine();
  } else if (const std::optional<MeterFault> fault = meter_->open()) {
    tellOnce(faultMessage(*fault));
  } else {
    portOpen_ = true;
    lines_.clear();  // a line cut short by a failure of the port before
  }
  return &feed_;
}

void ReadingSeries::receive(const QByteArray& bytes) {
  // Every byte goes through the cutter, so a line begun between dialogs is known as one.
  for (const QByteArray& line : lines_.feed(bytes)) {
    if (!dialogOpen_) continue;
    if (const std::optional<QString> reading = numbers::meterReading(line, pattern_))
      emit feed_.text(*reading);
  }
}

void ReadingSeries::tellOnce(const QString& message) {
  if (told_) return;
  told_ = true;
  messages_.show(message);
}

QString ReadingSeries::faultMessage(const MeterFault& fault) const {
  const QString port = meter_->portName();
  switch (fault.kind) {
    case MeterFault::Missing:
      return QStringLiteral(
                 "找不到 pH 计的串口 %1。请检查 pH 计是否开机、连接线是否插好；"
                 "串口名不对时，请管理员改正 sorvane.ini 中 [meter] 的 port。")
                 .arg(port) +
             kTypingGoesOn;
    case MeterFault::Busy:
      return QStringLiteral(
                 "pH 计的串口 %1 正被其他程序使用。请关闭那个程序，"
                 "之后从下一个读数起即可再用 pH 计。")
                 .arg(port) +
             kTypingGoesOn;
    case MeterFault::NoPermission:
      return QStringLiteral(
                 "没有使用 pH 计串口 %1 的权限。请管理员把您的账户加入 dialout 组"
                 "（sudo usermod -aG dialout 账户名），然后注销并重新登录。")
                 .arg(port) +
             kTypingGoesOn;
    case MeterFault::Settings:
      // Without a port name it is the name that is missing.
      return (port.isEmpty() ? QStringLiteral("pH 计")
                             : QStringLiteral("pH 计（串口 %1）").arg(port)) +
             QStringLiteral("的设置有误：%1。请管理员改正 sorvane.ini 中的 [meter] 一节。")
                 .arg(fault.detail) +
             kTypingGoesOn;
    case MeterFault::Other:
      break;
  }
  return QStringLiteral("无法打开 pH 计的串口 %1（%2）。请检查 pH 计及其连接。")
             .arg(port, fault.detail) +
         kTypingGoesOn;
}

}  // namespace sorvane::app
