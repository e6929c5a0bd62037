#pragma once

// Where this program's results are: the server that sorvane.ini beside the program names in
// [results] server, or else phjz.mdb beside the program, as always.

#include <QString>

#include "platform/Services.h"
#include "store/ResultsSource.h"

namespace sorvane::results {

// Read afresh on every call, so 刷新(R) picks up a corrected sorvane.ini. Never fails: a
// sorvane.ini that can't be used makes a source whose every opening gives the one message.
store::ResultsSource resultsSource(const platform::Services& services);

}  // namespace sorvane::results
