#pragma once

// No Qt here: the Windows registry is cross-compiled and tested on its own.

#ifdef _WIN32

#include "Registry.h"

namespace sorvane::platform {

// The Windows registry through advapi32's "A" functions.
class Win32Registry final : public Registry {
 public:
  long openKey(RegKey root, const char* subKey, std::uint32_t options, std::uint32_t access,
               RegKey& opened) override;
  long queryValue(RegKey key, const char* valueName, std::uint32_t& type, unsigned char* data,
                  std::uint32_t& size) override;
  long closeKey(RegKey key) override;
};

}  // namespace sorvane::platform

#endif  // _WIN32
