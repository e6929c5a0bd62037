#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "fakes/FakePrinter.h"
#include "fakes/FakeSystem.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/Pointer.h"
#include "platform/ProgramEnd.h"
#include "platform/Services.h"

namespace sorvane::fakes {

// Answers input boxes from a script (no value = Cancel) and records every question.
class FakeInputBox final : public platform::InputBox {
 public:
  struct Question {
    QString prompt;
    QString title;
    QString defaultText;
  };

  void script(std::initializer_list<std::optional<QString>> answers) {
    answers_.insert(answers_.end(), answers);
  }
  std::optional<QString> ask(const QString& prompt, const QString& title,
                             const QString& defaultText) override {
    questions.push_back({prompt, title, defaultText});
    if (onAsk) onAsk();
    // Running out of answers would loop a re-asking dialog forever; fail the test instead.
    if (answers_.empty()) throw std::logic_error("input box asked more than the script answers");
    std::optional<QString> answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  std::vector<Question> questions;
  // What the program showed while the question was open, filled by the onAsk hook.
  std::function<void()> onAsk;

 private:
  std::deque<std::optional<QString>> answers_;
};

class FakeMessageBox final : public platform::MessageBox {
 public:
  void show(const QString& prompt) override { messages.append(prompt); }
  QStringList messages;
};

// Ending the program throws ProgramEnded, which the handler runner catches, so the test
// goes on and can look at what was left.
class FakeProgramEnd final : public platform::ProgramEnd {
 public:
  [[noreturn]] void end() override {
    ++ends;
    throw platform::ProgramEnded{};
  }
  int ends = 0;
};

// Records every pointer it is given; the current one is the last (one window at a time).
class FakePointer final : public platform::Pointer {
 public:
  using Shape = platform::PointerShape;
  void setScreenPointer(Shape shape) override { screenHistory.push_back(shape); }
  Shape screenPointer() const override { return last(screenHistory); }
  void setWindowPointer(QWidget&, Shape shape) override { windowHistory.push_back(shape); }
  Shape windowPointer(const QWidget&) const override { return last(windowHistory); }
  std::vector<Shape> screenHistory, windowHistory;

 private:
  static Shape last(const std::vector<Shape>& h) { return h.empty() ? Shape::Default : h.back(); }
};

// A full set of fakes, wired into one Services.
struct FakePlatform {
  FakeInputBox inputBox;
  FakeMessageBox messageBox;
  FakeProgramEnd programEnd;
  FakePointer pointer;
  FakeRegistry registry;
  FakeFileAttributes fileAttributes;
  FakeProgramStart programStart;
  FakePrinterProvider printers;
  platform::Services services{.inputBox = &inputBox,
                              .messageBox = &messageBox,
                              .programEnd = &programEnd,
                              .pointer = &pointer,
                              .registry = &registry,
                              .fileAttributes = &fileAttributes,
                              .programStart = &programStart,
                              .printers = &printers};
};

}  // namespace sorvane::fakes
