#pragma once

#include "FileTest.h"

namespace sorvane::platform {

class QtFileTest final : public FileTest {
 public:
  bool isNormalFile(const QString& path) override;
};

}  // namespace sorvane::platform
