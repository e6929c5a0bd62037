#pragma once

// The registry values both GetKeyValue tests store and read back: over the in-memory
// registry in the test executable, and over the real Windows registry under Wine. No Qt
// and no test framework here, so the Wine test can be cross-compiled on its own.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace sorvane::about::registrycases {

using platform::Registry;

// Set to kVariableValue while the cases run; SORVANE_NONE is never set.
inline constexpr char kVariable[] = "SORVANE_T";
inline constexpr char kVariableValue[] = "C:\\T";
inline constexpr char kKey[] = "SOFTWARE\\Sorvane Registry Test";

struct Case {
  const char* name;    // the value's name; nullptr: the key itself is missing
  std::uint32_t type;  // 0: no value stored under the name
  std::string data;    // the bytes stored, exactly
  bool reads;
  std::string text;  // what is read
};

inline std::vector<Case> cases() {
  const std::string path = "C:\\Program Files\\msinfo32.exe", fits(1023, 'f');
  return {
      {"WithNul", Registry::kTypeString, path + '\0', true, path},
      {"WithoutNul", Registry::kTypeString, path, true, path},
      {"Fits1024", Registry::kTypeString, fits + '\0', true, fits},
      {"TooLong1025", Registry::kTypeString, fits + "g" + '\0', false, ""},
      {"Absent", 0, "", false, ""},
      {"Empty", Registry::kTypeString, "", true, ""},
      {"Small", Registry::kTypeDword, {"\x02\x01\0\0", 4}, true, "258"},
      {"Wide", Registry::kTypeDword, {"\0\0\x01\0", 4}, true, "65536"},
      {"Max", Registry::kTypeDword, "\xff\xff\xff\xff", true, "4294967295"},
      {"Expand", Registry::kTypeExpandString, {"%SORVANE_T%\\m.exe\0", 18}, true, "C:\\T\\m.exe"},
      // Unknown names and lone % stay as written; a closing % may open the next reference.
      {"Odd", Registry::kTypeExpandString, "1%%SORVANE_NONE%SORVANE_T%%SORVANE_T%%", true,
       "1%%SORVANE_NONEC:\\TC:\\T%"},
      {"Binary", Registry::kTypeBinary, "abc", false, ""},
      {nullptr, 0, "", false, ""},
  };
}

}  // namespace sorvane::about::registrycases
