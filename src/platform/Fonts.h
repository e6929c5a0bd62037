#pragma once

#include <QFont>

namespace sorvane::platform {

// Registers stand-ins for the Song face "宋体" so that designs naming it find a CJK font
// on desktops that lack it. Call once at start-up.
void installFontSubstitutes();

// The design font "宋体" at a point size.
QFont songFont(double pointSize, bool bold = false);

}  // namespace sorvane::platform
