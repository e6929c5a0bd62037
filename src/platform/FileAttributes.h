#pragma once

#include <QString>

namespace sorvane::platform {

// Whether a path names an ordinary file: not a folder, not hidden, not a system file.
// The path is taken literally; wildcards in it match nothing but themselves.
class FileAttributes {
 public:
  virtual ~FileAttributes() = default;
  virtual bool isNormalFile(const QString& path) = 0;
};

}  // namespace sorvane::platform
