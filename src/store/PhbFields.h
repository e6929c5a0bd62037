#pragma once

// Table phb's four fields, named once for the whole program.

#include <QString>
#include <QStringList>

namespace sorvane::store::phb {

// The fields in table order; the numbers index every per-field array and bound box.
enum Field : int { Date, Identifier, SampleCount, Mean };
inline constexpr int kFieldCount = 4;

// The identifier's limit in characters: its box takes no more, and the table refuses more.
inline constexpr int kIdentifierLimit = 12;

// 日期, 标识符, 样本数, pH均值, in table order.
const QStringList& fieldNames();

// Position of a field in fieldNames(), -1 when there is none. Letter case does not matter,
// as with the old engine.
int fieldIndex(const QString& name);

}  // namespace sorvane::store::phb
