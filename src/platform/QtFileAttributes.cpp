#include "QtFileAttributes.h"

#include <QFileInfo>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace sorvane::platform {

bool QtFileAttributes::isNormalFile(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.isFile() || info.isHidden()) return false;
#ifdef _WIN32
  // Qt does not report the system attribute; a system file is not the tool we look for.
  const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_SYSTEM)) return false;
#endif
  return true;
}

}  // namespace sorvane::platform
