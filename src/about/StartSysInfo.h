#pragma once

#include "platform/Services.h"

namespace sorvane::about {

// The message for every way the system-information tool cannot be started.
inline constexpr char16_t kSysInfoUnavailable[] = u"此时系统信息不可用";

// Starts the system-information tool as a separate program, found where Windows records it:
// first the program path under ...\Shared Tools\MSINFO, else MSINFO32.EXE in the folder under
// ...\Shared Tools Location. Every failure, whatever raised it, ends in exactly one message;
// it always returns normally.
void StartSysInfo(platform::Services& services);

}  // namespace sorvane::about
