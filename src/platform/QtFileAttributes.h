#pragma once

#include "FileAttributes.h"

namespace sorvane::platform {

class QtFileAttributes final : public FileAttributes {
 public:
  bool isNormalFile(const QString& path) override;
};

}  // namespace sorvane::platform
