#pragma once

// Writes small Access (Jet 3 or Jet 4) database files for tests: one user table with the
// given columns and rows, catalogued in MSysObjects so that libmdb and mdbtools list and
// read it. Enough of the format to stand in for files the old program left behind; no
// indexes, relationships, properties or long values. Test support only, never installed.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <variant>
#include <vector>

namespace sorvane::testsupport {

enum class JetVersion { Jet3, Jet4 };

// Test names and failures show the format by name.
inline void PrintTo(JetVersion v, std::ostream* os) {
  *os << (v == JetVersion::Jet3 ? "Jet3" : "Jet4");
}

enum class JetType { Boolean, Byte, Integer, Long, Currency, Single, Double, DateTime, Text };

struct JetColumn {
  QString name;
  JetType type;
  int textLength = 0;  // Text only: the field size in characters
};

// Currency as Jet keeps it: ten-thousandths, so 1.5 is 15000.
struct JetCurrency {
  std::int64_t tenThousandths;
};

// One value: null, a Boolean, a whole number (Byte, Integer, Long), Currency, a floating
// number (Single, Double, and DateTime as days since 1899-12-30) or a text.
using JetValue = std::variant<std::monostate, bool, std::int64_t, JetCurrency, double, QString>;
using JetRow = std::vector<JetValue>;

struct JetTable {
  QString name;
  std::vector<JetColumn> columns;
  std::vector<JetRow> rows;
  // Rows (by index) stored as Jet stores a row that grew too large for its page when it was
  // edited: the row's slot holds a pointer to its bytes on a page after all the others,
  // where the bytes are flagged deleted so that a walk over the table meets them once.
  std::vector<std::size_t> movedRows;
};

struct JetFileOptions {
  // A database password, stored the way Access stores it (at most 20 ASCII characters).
  QByteArray password;
  // A non-zero key marks the file as encoded (encrypted) by Jet; the pages are left as
  // they are, which is all a reader that refuses such files needs.
  std::uint32_t encodingKey = 0;
};

// The file's bytes. Throws std::invalid_argument for a value that does not fit its column
// or a Jet 3 row too long for the one-byte offsets this writer uses (no jump tables).
QByteArray jetFileBytes(JetVersion version, const JetTable& table,
                        const JetFileOptions& options = {});

// Writes jetFileBytes() to path; throws std::runtime_error when the file cannot be written.
void writeJetFile(const QString& path, JetVersion version, const JetTable& table,
                  const JetFileOptions& options = {});

// Days since 1899-12-30 as Jet stores a date and time of day, for dates before 1899 too:
// the whole part counts days backwards, the fraction is the time of day.
double jetDays(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace sorvane::testsupport
