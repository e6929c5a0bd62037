#pragma once

// Moving a lab's results onto the results server, from a file of today's format or from an
// Access file, which is first converted as it would be to a new file.

#include <QString>
#include <functional>

#include "store/postgres/ServerMove.h"

namespace sorvane::jet {

// What the move is doing, for its progress.
enum class MoveStage { ReadingAccess, Sending };

using MoveProgress = std::function<void(MoveStage stage, qint64 done, qint64 total)>;

// Moves `source` onto the empty server `conninfo`. An Access file is read by `converter`
// (sorvane-convert) in a child under limits, and its records get only their "converted"
// history rows on the server, as its conversion to a file gives them. Throws StoreError; the
// source is never changed, the server only when the move succeeds.
store::MoveReport moveResultsToServer(const QString& conninfo, const QString& source,
                                      const QString& converter, const MoveProgress& progress = {});

}  // namespace sorvane::jet
