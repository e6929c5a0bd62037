#include "Handler.h"

#include <exception>

#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"
#include "platform/Services.h"

namespace sorvane::widgets {

using platform::ProgramEnded;

namespace {

void failAndEnd(Services& services, const QString& text) {
  services.messageBox->show(text);
  services.programEnd->end();
}

}  // namespace

void runHandler(Services& services, const std::function<void()>& handler) noexcept {
  try {
    try {
      handler();
    } catch (const ProgramEnded&) {
      throw;
    } catch (const std::exception& error) {
      failAndEnd(services, QString::fromUtf8(error.what()));
    } catch (...) {
      failAndEnd(services, QStringLiteral("未知的运行时错误"));
    }
  } catch (const ProgramEnded&) {
    // Only a test double returns from ending the program; the handler is over either way.
  }
}

}  // namespace sorvane::widgets
