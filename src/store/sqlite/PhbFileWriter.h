#pragma once

#include <QString>
#include <memory>

#include "store/PhbRecord.h"

namespace sorvane::store {

// Fills a new, empty results file in one go, as a conversion does: the build's template,
// then every record in one transaction, each with its "converted" history row. The file is
// thrown away by the caller on any failure, so it is written without a journal and synced
// by the caller as a whole.
class PhbFileWriter {
 public:
  // Opens the empty file at `path` and lays out the template. Throws StoreError.
  explicit PhbFileWriter(const QString& path);
  ~PhbFileWriter();
  PhbFileWriter(const PhbFileWriter&) = delete;
  PhbFileWriter& operator=(const PhbFileWriter&) = delete;

  // Throws StoreError, RefusedValue when the table's own checks refuse a value.
  void add(const PhbRecord& record);
  // Writes the history rows, commits and closes the file. Throws StoreError.
  void commit();

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace sorvane::store
