#pragma once

// Reading table phb out of a phjz.mdb that the Jet engine wrote (Access 97 = Jet 3 with
// texts in code page 936, Access 2000-2003 = Jet 4), through libmdb, one record at a time.
// The file is only ever opened for reading.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <memory>
#include <optional>
#include <stdexcept>

#include "store/PhbRecord.h"

namespace sorvane::jet {

using store::PhbRecord;

// A failure to read a Jet file, with one message in the program's voice that names the
// file or the record and says why.
class JetReadError : public std::runtime_error {
 public:
  enum class Kind {
    FileMissing,   // no file at the path
    Unreadable,    // no permission to read it, or an input/output error
    NotJet,        // not an Access (Jet) database at all
    Damaged,       // truncated or damaged
    Encrypted,     // protected by a database password, or encoded
    NewerFormat,   // Access 2007 or later (ACE, .accdb-style)
    NoGbk,         // this machine cannot decode code page 936, which Jet 3 texts need
    TableMissing,  // no table phb
    FieldMissing,  // phb lacks one of its four fields
    BadRecord,     // a record that cannot be carried over exactly
  };

  JetReadError(Kind kind, const QString& message, qint64 record = 0);

  Kind kind() const { return kind_; }
  const QString& message() const { return message_; }
  // BadRecord: the record's position in the table, counted from 1; otherwise 0.
  qint64 record() const { return record_; }

 private:
  Kind kind_;
  QString message_;
  qint64 record_;
};

// What a file's first page says it is.
enum class JetFileKind { NotJet, Jet3, Jet4, NewerFormat, Damaged, Encrypted };

// Looks at the header page and the file's size only. Throws JetReadError (FileMissing,
// Unreadable) when the file cannot be read at all.
JetFileKind classifyJetFile(const QString& path);

// A value as a Jet column holds it, decoded from its raw bytes.
struct JetValue {
  enum class Kind {
    Null,
    Boolean,     // number is 0 or 1
    Number,      // Byte, Integer, Long, Currency, Single, Double, Decimal
    Text,        // Text; Jet 3 texts are code page 936
    DateTime,    // date and time
    Other,       // memo, binary, OLE, replication ID: not read here
    BadText,     // bytes that are not text in the file's encoding
    Inexact,     // Currency or Decimal with more than 15 significant digits
    OutOfRange,  // a date outside years 100 to 9999, or a number that is not finite
  };
  Kind kind = Kind::Null;
  int columnType = 0;  // the column's Jet type code
  double number = 0;
  QString text;
  QDate date;  // days since 1899-12-30; before that Jet counts back, so 1800 reads right
  QTime time;  // the time of day, 00:00:00 for a plain date
};

// Streams named fields of one user table in file order; memory does not grow with the
// table. Every failure throws JetReadError.
class JetTableReader {
 public:
  // Opens the file read-only and finds the table and fields by name (letter case does not
  // matter).
  JetTableReader(const QString& path, const QString& table, const QStringList& fields);
  ~JetTableReader();
  JetTableReader(const JetTableReader&) = delete;
  JetTableReader& operator=(const JetTableReader&) = delete;

  const QString& path() const;
  bool isJet3() const;
  // The number of records the table's definition announces.
  qint64 announcedCount() const;
  // Moves to the next record; false after the last. Throws Damaged when the records read
  // are not the number the table announces (libmdb passes over rows it cannot crack).
  bool next();
  // The current record's position, counted from 1.
  qint64 position() const;
  // Field `field` (an index into the names given) of the current record.
  const JetValue& value(int field);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// Streams table phb's records: 日期 a date, 标识符 a text, 样本数 and pH均值 numbers of any
// numeric type.
class JetPhbReader {
 public:
  // Throws JetReadError for every kind of file it cannot read, also TableMissing and
  // FieldMissing.
  explicit JetPhbReader(const QString& path);

  bool isJet3() const { return table_.isJet3(); }
  qint64 announcedCount() const { return table_.announcedCount(); }

  // The next record into `record`; false after the last one. Throws JetReadError:
  // BadRecord, naming the record's position and identifier, for a value that cannot be
  // carried into phb exactly (a value of the wrong type, a text that does not decode, an
  // identifier longer than 12 characters, a date outside years 100-9999 or with a time of
  // day, a number that is not finite or has more than 15 significant digits); Damaged when
  // records could not be read.
  bool next(PhbRecord& record);

 private:
  JetTableReader table_;
};

}  // namespace sorvane::jet
