#pragma once

// Writes small Access (Jet 3 or Jet 4) database files for tests: one user table with the
// given columns and rows, catalogued in MSysObjects so that libmdb and mdbtools list and
// read it. Enough of the format to stand in for files the old program left behind; no
// indexes, relationships, properties or long values. Test support only, never installed.

#include <QString>
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

enum class JetType { Integer, Long, Currency, Single, Double, DateTime, Text };

struct JetColumn {
  QString name;
  JetType type;
  int textLength = 0;  // Text only: the field size in characters
};

// Currency as Jet keeps it: ten-thousandths, so 1.5 is 15000.
struct JetCurrency {
  std::int64_t tenThousandths;
};

// Null, a whole number, Currency, a floating number (also DateTime: see jetDays) or a text.
using JetValue = std::variant<std::monostate, std::int64_t, JetCurrency, double, QString>;
using JetRow = std::vector<JetValue>;

struct JetTable {
  QString name;
  std::vector<JetColumn> columns;
  std::vector<JetRow> rows;
  // Rows (by index) stored as Jet stores a row that grew too large for its page when it was
  // edited: the row's slot points to its bytes on a page after all the others, where they
  // are flagged deleted so that a walk over the table meets them once.
  std::vector<std::size_t> movedRows;
};

// Table phb as the old program made it, 样本数 of the given type.
JetTable phbTable(std::vector<JetRow> rows, JetType countType = JetType::Integer);

// Throws std::invalid_argument for a value that does not fit its column or a Jet 3 row too
// long for the one-byte offsets this writer uses (no jump tables).
QByteArray jetFileBytes(JetVersion version, const JetTable& table);
void writeJetFile(const QString& path, JetVersion version, const JetTable& table);

// Days since 1899-12-30 as Jet stores a date and time of day, for dates before 1899 too:
// the whole part counts days backwards, the fraction is the time of day.
double jetDays(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace sorvane::testsupport
