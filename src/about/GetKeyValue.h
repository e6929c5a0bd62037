#pragma once

// No Qt here: the reader is also cross-compiled with the Windows registry and run under Wine.

#include <string>

#include "platform/Registry.h"

namespace sorvane::about {

// Reads the value subKeyRef of the key keyName below keyRoot as text in the system code
// page. True when the value was read: a string (one terminating NUL dropped; no data gives
// the empty text), an expandable string with its %NAME% references expanded, or a 32-bit
// number as its decimal text. False, with the empty text, when the key cannot be opened for
// reading, the value is missing or needs more than 1024 bytes, or is of any other type.
// The key is closed on every path.
bool GetKeyValue(platform::Registry& registry, platform::RegKey keyRoot, const std::string& keyName,
                 const std::string& subKeyRef, std::string& keyVal);

// Replaces each %NAME% of a defined environment variable by its value; other % are kept.
std::string expandEnvironmentReferences(const std::string& text);

}  // namespace sorvane::about
