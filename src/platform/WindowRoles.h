#pragma once

namespace sorvane::platform {

// Makes the program's plain top-level widgets known to screen readers as what they are: a
// window as a window, a dialog as a dialog, each named by its title. Qt gives such a widget
// the role of a window's inner area instead. Call once, after the application object exists.
void installWindowRoles();

}  // namespace sorvane::platform
