#pragma once

#include <QString>
#include <stdexcept>

namespace sorvane::store {

// A failure of the results store, with a message in the program's voice. The number
// follows the old engine's error numbers, which the record navigator's Error event passes on.
class StoreError : public std::runtime_error {
 public:
  enum class Kind {
    FileMissing,      // no file at the path
    NotADatabase,     // random bytes, an empty file, a damaged file
    JetDatabase,      // an Access/Jet file, which this program cannot read
    TableMissing,     // no table phb
    FieldMissing,     // phb lacks one of the four fields
    ReadOnly,         // the file or its folder cannot be written
    Locked,           // another program is writing the file
    RefusedValue,     // a text a field does not accept
    NoCurrentRecord,  // the operation needs a current record and there is none
    NotOpen,          // the record set is closed or never opened
    Io,               // disk full, an input/output error
    NotEditing,       // a field change or Update without AddNew or Edit first
  };

  StoreError(Kind kind, int number, const QString& message);

  Kind kind() const { return kind_; }
  int number() const { return number_; }
  const QString& message() const { return message_; }

 private:
  Kind kind_;
  int number_;
  QString message_;
};

}  // namespace sorvane::store
