#include "fakes/FakePlatform.h"

#include <stdexcept>

namespace sorvane::fakes {

std::optional<QString> FakeInputBox::ask(const QString& prompt, const QString& title,
                                         const QString& defaultText) {
  questions.push_back({prompt, title, defaultText});
  if (onAsk) onAsk();
  // Running out of answers would loop a re-asking dialog forever; fail the test instead.
  if (answers_.empty()) throw std::logic_error("input box asked more than the script answers");
  std::optional<QString> answer = answers_.front();
  answers_.pop_front();
  return answer;
}

FakePlatform::FakePlatform() {
  services.inputBox = &inputBox;
  services.messageBox = &messageBox;
  services.programEnd = &programEnd;
  services.pointer = &pointer;
  services.registry = &registry;
  services.fileTest = &fileTest;
  services.programStart = &programStart;
  services.printers = &printers;
}

}  // namespace sorvane::fakes
