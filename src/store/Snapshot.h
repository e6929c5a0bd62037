#pragma once

#include <QString>
#include <QVariant>
#include <memory>

namespace sorvane::store {

// A read-only view of SELECT 日期,标识符,样本数,pH均值 FROM phb as it stood when opened,
// iterated forward: the report's query. Runs beside an open RecordSet on the same file.
// Every failure throws StoreError.
class Snapshot {
 public:
  static std::unique_ptr<Snapshot> open(const QString& path);
  virtual ~Snapshot() = default;

  virtual bool eof() const = 0;
  virtual void moveNext() = 0;
  // The current record's value: a QDate, a QString or a double; null when it has none.
  virtual QVariant field(const QString& name) const = 0;
  virtual void close() = 0;
};

}  // namespace sorvane::store
