#pragma once

#include <QString>
#include <stdexcept>

namespace sorvane::store {

// The old engine's error numbers. The record navigator's Error event passes them on, and
// the navigator's error text is looked up by them.
namespace legacy {
inline constexpr int kUpdateWithoutEdit = 3020;   // Update without AddNew or Edit
inline constexpr int kNoCurrentRecord = 3021;     // no current record
inline constexpr int kFileNotFound = 3024;        // no file at the path
inline constexpr int kDiskFull = 3026;            // disk full
inline constexpr int kReadOnly = 3027;            // the database is read-only
inline constexpr int kDiskOrNetwork = 3043;       // disk or network error
inline constexpr int kCannotOpen = 3051;          // the file cannot be opened
inline constexpr int kTableNotFound = 3078;       // no such table
inline constexpr int kInvalidBookmark = 3159;     // not a valid bookmark
inline constexpr int kFieldTooSmall = 3163;       // text longer than the field takes
inline constexpr int kRecordDeleted = 3167;       // the record was deleted
inline constexpr int kDataChanged = 3197;         // another program changed the record
inline constexpr int kLocked = 3260;              // locked by another program
inline constexpr int kItemNotFound = 3265;        // no field of that name
inline constexpr int kUnrecognizedFormat = 3343;  // not a database this program reads
inline constexpr int kObjectClosed = 3420;        // the record set is closed
inline constexpr int kConversion = 3421;          // a value the field does not accept
}  // namespace legacy

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
    Conflict,         // another program changed or deleted the record since it was read
    NotConverted,     // an Access file that could not be converted; no file was changed
    Unreachable,      // the results server cannot be reached, or the connection was lost
    NoAccess,         // the server's login may neither read nor write the results
    OutcomeUnknown,   // the connection was lost while committing and the outcome is unknown
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
