#pragma once

class QLineEdit;

namespace sorvane::widgets {

// Keeps a text box to at most `limit` characters counted as Unicode code points, so that a
// character beyond the Basic Multilingual Plane counts once and is never cut in half (a
// box's own maximum length counts UTF-16 units). Like that maximum it holds for typing,
// pasting and setting the text: what does not fit is dropped from the end of what was put in.
void limitCharacters(QLineEdit& box, int limit);

}  // namespace sorvane::widgets
