#pragma once

// Real Access files, written by Access itself, kept beside the checkout in
// ../shared/fixtures/jet (or where the environment variable SORVANE_JET_FIXTURES points),
// and the one-byte damages to them that once made libmdb eat memory or print.

#include <QByteArray>
#include <QString>
#include <ostream>

namespace sorvane::testsupport {

QString jetFixturesFolder();

// The bytes of fixture `name`, or empty when it is not there; a test then skips with
// fixturesMissing().
QByteArray jetFixture(const QString& name);
QString fixturesMissing(const QString& name);

// One byte of functionsV2000.mdb changed: the catalog's first property blob (LvProp) at
// offset 59440 begins "MR2\0", a chunk length and the chunk's type 0x80.
struct PropertyDamage {
  const char* name;
  int offset;
  char was, becomes;
};
inline constexpr PropertyDamage kPropertyDamages[] = {
    {"ChunkLengthTopByte", 59447, 0x00, 0x7a},         // libmdb allocated 13 GB, then read past it
    {"SignatureXR2", 59440, 'M', 'X'},                 // libmdb printed a hex dump to stdout
    {"ChunkType0x81", 59448, char(0x80), char(0x81)},  // libmdb printed "Unknown record type"
};

inline void PrintTo(const PropertyDamage& d, std::ostream* os) { *os << d.name; }

// functionsV2000.mdb with `damage`, or empty when the fixture is not there.
QByteArray damagedAccess2000(const PropertyDamage& damage);

}  // namespace sorvane::testsupport

namespace sorvane::testsupport {

// Whatever this process writes to its standard output and error, from construction until
// taken(), kept in a file instead: libmdb prints there.
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  // Restores both and returns what was written.
  QByteArray taken();

 private:
  int file_ = -1, out_ = -1, err_ = -1;
};

}  // namespace sorvane::testsupport
