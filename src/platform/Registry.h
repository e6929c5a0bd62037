#pragma once

// No Qt here: this header is also compiled for Windows on its own, with the Win32 registry.

#include <cstdint>

namespace sorvane::platform {

// A registry key handle, as wide as a Windows HKEY.
using RegKey = std::intptr_t;

// The key and value that name the system-information program: Windows keeps MSINFO32's
// path there, and the POSIX registry puts its stand-in there, so one look-up finds either.
inline constexpr const char* kSystemInformationKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSystemInformationValue = "PATH";

// The registry as advapi32's "A" functions show it: key paths, value names and string data
// travel in the system's ANSI code page, and every call answers a Win32 status code
// (0 = success). Only reading is offered; the program writes no registry values.
class Registry {
 public:
  // HKEY_LOCAL_MACHINE: the 32-bit predefined handle, sign-extended as Windows does.
  static constexpr RegKey kLocalMachine = static_cast<std::int32_t>(0x80000002u);

  // Read access only (read-control, query value, enumerate sub-keys, notify).
  static constexpr std::uint32_t kKeyRead = 0x20019;

  static constexpr long kSuccess = 0;
  static constexpr long kFileNotFound = 2;
  static constexpr long kAccessDenied = 5;
  static constexpr long kInvalidHandle = 6;
  static constexpr long kMoreData = 234;

  static constexpr std::uint32_t kTypeString = 1;
  static constexpr std::uint32_t kTypeExpandString = 2;
  static constexpr std::uint32_t kTypeBinary = 3;
  static constexpr std::uint32_t kTypeDword = 4;
  static constexpr std::uint32_t kTypeMultiString = 7;

  virtual ~Registry() = default;

  // RegOpenKeyExA: opens subKey below root (a predefined key or an open handle).
  virtual long openKey(RegKey root, const char* subKey, std::uint32_t options, std::uint32_t access,
                       RegKey& opened) = 0;
  // RegQueryValueExA: size holds the buffer's size on entry and the data's size on return;
  // a buffer too small answers kMoreData with the size needed.
  virtual long queryValue(RegKey key, const char* valueName, std::uint32_t& type,
                          unsigned char* data, std::uint32_t& size) = 0;
  // RegCloseKey.
  virtual long closeKey(RegKey key) = 0;
};

}  // namespace sorvane::platform
