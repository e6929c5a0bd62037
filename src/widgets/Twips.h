#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace sorvane::widgets {

// Window designs are laid out in twips (1/1440 inch). Qt lays out in device-independent
// pixels, which are 1/96 inch at the screen's logical resolution, so scaling for high-DPI
// screens happens in Qt and designs keep their proportions.
int twipsToPixels(int twips);
QRect twipsRect(int left, int top, int width, int height);
QSize twipsSize(int width, int height);

}  // namespace sorvane::widgets
