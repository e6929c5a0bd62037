#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/FakePrinter.h"
#include "fakes/FakeSystem.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/Meter.h"
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
  // An answer that accepts the field as it stands, as Enter does: empty, or what a feed put
  // there.
  static inline const QString enter = QStringLiteral("<Enter>");

  std::optional<QString> ask(const QString& prompt, const QString& title,
                             const QString& defaultText, platform::InputFeed* feed) override {
    questions.push_back({prompt, title, defaultText});
    field = defaultText;
    QObject open;  // the feed reaches the field while the question is open
    if (feed)
      QObject::connect(feed, &platform::InputFeed::text, &open,
                       [this](const QString& text) { field = text; });
    if (onAsk) onAsk();
    // Running out of answers would loop a re-asking dialog forever; fail the test instead.
    if (answers_.empty()) throw std::logic_error("input box asked more than the script answers");
    if (answers_.front() == enter) answers_.front() = field;
    std::optional<QString> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }

  // A masked question is recorded with "masked" as its default text, and answered from
  // the same script.
  std::optional<QString> askSecret(const QString& prompt, const QString& title) override {
    questions.push_back({prompt, title, QStringLiteral("masked")});
    if (answers_.empty()) throw std::logic_error("input box asked more than the script answers");
    std::optional<QString> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
  }

  std::vector<Question> questions;
  QString field;  // the open question's
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

// A meter whose bytes and unplugging the test makes; open fails with `fault` when it is set.
// Records openings and closings in `log`.
class FakeMeter final : public platform::Meter {
 public:
  QString portName() const override { return QStringLiteral("/dev/ttyUSB0"); }
  QString pattern() const override { return {}; }
  std::optional<platform::MeterFault> open() override {
    log += "open ";
    return fault;
  }
  void discardInput() override {}
  void close() override { log += "close "; }
  void send(const QByteArray& bytes) { emit received(bytes); }
  void unplug() { emit lost(); }

  std::optional<platform::MeterFault> fault;
  std::string log;
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
