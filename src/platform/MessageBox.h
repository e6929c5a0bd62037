#pragma once

#include <QString>

namespace sorvane::platform {

// A modal message with the OK button only, no icon, titled with the application title.
class MessageBox {
 public:
  virtual ~MessageBox() = default;
  virtual void show(const QString& prompt) = 0;
};

}  // namespace sorvane::platform
