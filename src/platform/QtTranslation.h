#pragma once

namespace sorvane::platform {

// Makes Qt's own texts (the text boxes' edit menu, standard buttons) Simplified Chinese like
// the rest of the program, whatever the user's locale. Call once, after the application
// object exists; without Qt's translations installed those texts stay as Qt has them.
void installQtTranslation();

}  // namespace sorvane::platform
