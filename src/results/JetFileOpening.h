#pragma once

#include <QString>

#include "platform/Services.h"

class QWidget;

namespace sorvane::jet {
struct Conversion;
}

namespace sorvane::results {

// How long a conversion runs before its progress is shown.
inline constexpr int kProgressAfterMs = 500;

// Run by the results window and the report before either opens phjz.mdb: an Access file
// that older versions of the program left there is converted first, by sorvane-convert
// beside the program in a process of its own under limits (jet/ConversionProcess.h), with a
// progress dialog over `parent` when that takes a while, and one message then says how many records
// came over and where the original is kept. Any other file is left to the usual opening.
// Throws StoreError when the file cannot be converted; every file is then as it was.
void bringJetFileOver(platform::Services& services, const QString& path, QWidget* parent);

// The converter the program runs: sorvane-convert, installed (and built) beside it.
QString converterProgram();

// The message after a conversion.
QString conversionMessage(const jet::Conversion& done);

}  // namespace sorvane::results
