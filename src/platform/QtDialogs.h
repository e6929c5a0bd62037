#pragma once

#include "platform/InputBox.h"
#include "platform/MessageBox.h"

namespace sorvane::platform {

// The input box and the message box as Qt dialogs, with Chinese button captions.
class QtInputBox final : public InputBox {
 public:
  std::optional<QString> ask(const QString& prompt, const QString& title,
                             const QString& defaultText, InputFeed* feed = nullptr) override;
  std::optional<QString> askSecret(const QString& prompt, const QString& title) override;
};

class QtMessageBox final : public MessageBox {
 public:
  void show(const QString& prompt) override;
};

}  // namespace sorvane::platform
