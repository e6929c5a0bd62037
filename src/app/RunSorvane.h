#pragma once

namespace sorvane::app {

// Starts the program: the main window, loaded and shown, and nothing else.
int runSorvane(int argc, char** argv);

}  // namespace sorvane::app
