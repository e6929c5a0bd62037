#pragma once

#include <functional>

namespace sorvane::platform {

struct Services;

// Runs one event handler. An exception escaping it is an untrapped error: one message
// with the error's text, then the end of the program. Every handler goes through here, so
// no exception ever unwinds through Qt's own frames.
void runHandler(Services& services, const std::function<void()>& handler) noexcept;

}  // namespace sorvane::platform
