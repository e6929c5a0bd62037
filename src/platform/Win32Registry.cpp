#ifdef _WIN32

#include "Win32Registry.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace sorvane::platform {

static_assert(Registry::kKeyRead == KEY_READ);
static_assert(Registry::kSuccess == ERROR_SUCCESS);
static_assert(Registry::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(Registry::kMoreData == ERROR_MORE_DATA);
static_assert(Registry::kTypeString == REG_SZ && Registry::kTypeExpandString == REG_EXPAND_SZ);
static_assert(Registry::kTypeDword == REG_DWORD);
static_assert(sizeof(RegKey) == sizeof(HKEY));

namespace {

HKEY toHandle(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long Win32Registry::openKey(RegKey root, const char* subKey, std::uint32_t options,
                            std::uint32_t access, RegKey& opened) {
  HKEY handle = nullptr;
  const LONG status = RegOpenKeyExA(toHandle(root), subKey, options, access, &handle);
  opened = status == ERROR_SUCCESS ? reinterpret_cast<RegKey>(handle) : 0;
  return status;
}

long Win32Registry::queryValue(RegKey key, const char* valueName, std::uint32_t& type,
                               unsigned char* data, std::uint32_t& size) {
  DWORD valueType = 0;
  DWORD dataSize = size;
  const LONG status =
      RegQueryValueExA(toHandle(key), valueName, nullptr, &valueType, data, &dataSize);
  type = valueType;
  size = dataSize;
  return status;
}

long Win32Registry::closeKey(RegKey key) { return RegCloseKey(toHandle(key)); }

}  // namespace sorvane::platform

#endif  // _WIN32
