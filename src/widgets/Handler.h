#pragma once

#include <QAbstractButton>
#include <functional>

namespace sorvane::platform {
struct Services;
}

namespace sorvane::widgets {

using platform::Services;

// Runs one event handler. An exception escaping it is an untrapped error: one message
// with the error's text, then the end of the program. Every handler goes through here, so
// no exception ever unwinds through Qt's own frames.
void runHandler(Services& services, const std::function<void()>& handler) noexcept;

// Connects a button's Click to a window's handler, run through runHandler.
template <class Window>
void connectClick(Services& services, QAbstractButton* button, Window* window,
                  void (Window::*handler)()) {
  QObject::connect(button, &QAbstractButton::clicked, window, [&services, window, handler] {
    runHandler(services, [window, handler] { (window->*handler)(); });
  });
}

}  // namespace sorvane::widgets
