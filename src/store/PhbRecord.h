#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace sorvane::store {

// One record of phb as the file holds it; a field without a value is empty.
struct PhbRecord {
  qint64 position = 0;                // counted from 1, in the table's order
  std::optional<QDate> date;          // 日期, a day without a time of day
  std::optional<QString> identifier;  // 标识符
  std::optional<double> sampleCount;  // 样本数
  std::optional<double> mean;         // pH均值
};

}  // namespace sorvane::store
