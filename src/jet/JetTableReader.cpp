// The libmdb table adapter: a user table's rows in file order, each field decoded from its
// raw bytes, after the guard has checked what libmdb will walk.

#include <iconv.h>

#include <glib.h>  // before mdbtools.h, which would include it inside extern "C"
#include <mdbtools.h>

#include <QFile>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "jet/JetFormat.h"
#include "jet/JetGuard.h"
#include "jet/JetNumbers.h"
#include "jet/JetPhbReader.h"

namespace sorvane::jet {

namespace {

using Kind = JetReadError::Kind;

// libmdb reads both at every open: Jet 3 texts are code page 936, and it hands texts over
// as UTF-8.
void setLibmdbEnvironment() {
  static std::once_flag once;
  std::call_once(once, [] {
    setenv("MDB_JET3_CHARSET", "CP936", 1);
    setenv("MDB_ICONV", "UTF-8", 1);
  });
}

struct MdbDeleter {
  void operator()(MdbHandle* h) const { mdb_close(h); }
  void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};

bool isNumberType(int type) {
  switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC:
      return true;
    default:
      return false;
  }
}

// A fixed-size number's value from its bytes; Decimal, which libmdb decodes, is not one.
double fixedNumber(int type, const unsigned char* p, JetValue::Kind& kind) {
  switch (type) {
    case MDB_BYTE:
      return p[0];
    case MDB_INT:
      return std::int16_t(le16(p));
    case MDB_LONGINT:
      return std::int32_t(le32(reinterpret_cast<const char*>(p)));
    case MDB_FLOAT: {
      float single;
      std::memcpy(&single, p, 4);
      return singleAsShown(single);
    }
    case MDB_MONEY: {
      std::int64_t units;
      std::memcpy(&units, p, 8);
      bool exact = true;
      const double value = currencyValue(units, &exact);
      if (!exact) kind = JetValue::Kind::Inexact;
      return value;
    }
    default: {  // Double and DateTime
      double value;
      std::memcpy(&value, p, 8);
      return value;
    }
  }
}

// A number read as such becomes out of range when it is not finite, and a DateTime's days
// become its date and time.
void finishNumber(int type, JetValue& v) {
  if (!std::isfinite(v.number)) v.kind = JetValue::Kind::OutOfRange;
  if (type != MDB_DATETIME || v.kind != JetValue::Kind::Number) return;
  const std::optional<JetDateTime> when = dateTimeFromDays(v.number);
  if (!when) {
    v.kind = JetValue::Kind::OutOfRange;
    return;
  }
  v.kind = JetValue::Kind::DateTime;
  v.date = when->date;
  v.time = when->time;
}

}  // namespace

struct JetTableReader::Impl {
  QString path;
  bool jet4 = false;
  std::unique_ptr<MdbHandle, MdbDeleter> mdb;
  std::unique_ptr<MdbTableDef, MdbDeleter> table;
  std::vector<MdbColumn*> columns;
  std::vector<JetValue> values;
  std::vector<bool> decoded;
  qint64 announced = 0;
  qint64 position = 0;
  bool finished = false;
  iconv_t gbk = iconv_t(-1);
  QByteArray utf8;  // reused for every Jet 3 text
  // The current row, found again for its null mask.
  const unsigned char* row = nullptr;
  int rowSize = 0;
  // The walk over the table's data pages: the page being walked, its next slot and its
  // number of rows; libmdb's page buffer holds another page after a moved row was read.
  unsigned long walkPage = 0;
  int slot = 0, slotCount = 0;
  bool walkPageLoaded = false;
  std::vector<MdbField> fields;

  ~Impl() {
    if (gbk != iconv_t(-1)) iconv_close(gbk);
  }

  void open(const QString& tableName, const QStringList& fields);
  void openLibmdb();
  // Letter case does not matter, as with the old engine. Throw TableMissing, FieldMissing.
  MdbCatalogEntry* findTable(const QString& tableName);
  MdbColumn* findColumn(const QString& tableName, const QString& name);
  // The next live row's start and size on libmdb's page buffer, moved rows followed; false
  // after the last.
  bool nextRow(int& start, int& size);
  bool text(const unsigned char* p, int length, QString& out);
  void decode(int field, JetValue& v);
};

void JetTableReader::Impl::open(const QString& tableName, const QStringList& fields) {
  QFile file(path);
  openForReading(file);
  const JetFileKind kind = classifyBytes(file.read(kHeaderBytes), file.size());
  if (kind != JetFileKind::Jet3 && kind != JetFileKind::Jet4) throw failure(kind, path);
  jet4 = kind == JetFileKind::Jet4;

  Guard guard(file, jet4);
  auto catalog = guard.table(kCatalogPage);
  if (!catalog || !guard.catalogColumns(*catalog) || !guard.dataPages(kCatalogPage, *catalog, true))
    throw damaged(path);

  openLibmdb();
  MdbCatalogEntry* entry = findTable(tableName);
  const auto info = guard.table(std::uint32_t(entry->table_pg));
  if (!info || !guard.dataPages(std::uint32_t(entry->table_pg), *info, false)) throw damaged(path);
  table.reset(mdb_read_table(entry));
  if (!table || !mdb_read_columns(table.get())) throw damaged(path);
  for (const QString& name : fields) columns.push_back(findColumn(tableName, name));
  values.resize(columns.size());
  decoded.resize(columns.size());
  announced = table->num_rows;
  mdb_rewind_table(table.get());
}

// Opens the file in libmdb and reads its catalog, which the guard has checked.
void JetTableReader::Impl::openLibmdb() {
  setLibmdbEnvironment();
  mdb.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
  if (!mdb) throw damaged(path);
  if (!jet4) {
    // Without code page 936 the Chinese names would never match, nor the texts decode.
    gbk = iconv_open("UTF-8", "CP936");
    char name[8];
    if (gbk == iconv_t(-1) || mdb_unicode2ascii(mdb.get(), "\xb1\xea", 2, name, sizeof name) != 3 ||
        std::strcmp(name, "标") != 0)
      throw JetReadError(Kind::NoGbk,
                         QStringLiteral("本机不能转换代码页 936 (GBK) 的文字，无法读取 Access 97 "
                                        "数据库“%1”中的中文。文件没有改动。")
                             .arg(path));
  }
  if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) throw damaged(path);
}

MdbCatalogEntry* JetTableReader::Impl::findTable(const QString& tableName) {
  for (guint i = 0; i < mdb->num_catalog; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (mdb_is_user_table(e) &&
        QString::fromUtf8(e->object_name).compare(tableName, Qt::CaseInsensitive) == 0)
      return e;
  }
  throw JetReadError(
      Kind::TableMissing,
      QStringLiteral("数据库“%1”中找不到表“%2”。文件没有改动。").arg(path, tableName));
}

MdbColumn* JetTableReader::Impl::findColumn(const QString& tableName, const QString& name) {
  for (guint i = 0; i < table->num_cols; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    if (QString::fromUtf8(col->name).compare(name, Qt::CaseInsensitive) == 0) return col;
  }
  throw JetReadError(Kind::FieldMissing,
                     QStringLiteral("数据库“%1”的表“%2”中找不到字段“%3”。文件没有改动。")
                         .arg(path, tableName, name));
}

// Decodes strictly: bytes that are not code page 936 (Jet 3) or UCS-2 (Jet 4) give false
// rather than question marks.
bool JetTableReader::Impl::text(const unsigned char* p, int length, QString& out) {
  if (!jet4) {
    utf8.resize(length * 3 + 4);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(p));
    size_t inLeft = size_t(length), outLeft = size_t(utf8.size());
    char* o = utf8.data();
    iconv(gbk, nullptr, nullptr, nullptr, nullptr);
    if (iconv(gbk, &in, &inLeft, &o, &outLeft) == size_t(-1)) return false;
    out = QString::fromUtf8(utf8.constData(), utf8.size() - qsizetype(outLeft));
    return true;
  }
  out.clear();
  if (isCompressedText(p, length)) {
    if (!walkCompressedText(p, length, [&](char16_t c) { out.append(QChar(c)); })) return false;
  } else {
    if (length % 2) return false;
    out.resize(length / 2);
    for (int i = 0; i < length / 2; ++i) out[i] = QChar(char16_t(le16(p + 2 * i)));
  }
  for (qsizetype i = 0; i < out.size(); ++i) {
    if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
      ++i;
    } else if (out[i].isSurrogate()) {
      return false;
    }
  }
  return true;
}

void JetTableReader::Impl::decode(int field, JetValue& v) {
  const MdbColumn* col = columns[size_t(field)];
  v = JetValue{};
  v.columnType = col->col_type;
  v.time = QTime(0, 0);
  const int cols = jet4 ? le16(row) : row[0];
  const int maskSize = (cols + 7) / 8;
  const bool bit =
      col->col_num < cols && (row[rowSize - maskSize + col->col_num / 8] >> (col->col_num % 8)) & 1;
  if (col->col_type == MDB_BOOL) {
    // A Boolean is never null: its bit in the null mask is its value.
    v.kind = JetValue::Kind::Boolean;
    v.number = bit;
    return;
  }
  // Null: the column's bit in the null mask is clear, or the row is older than the column.
  if (!bit) return;
  const int start = col->cur_value_start, length = col->cur_value_len;
  if (start < 0 || length < 0 || start + length > int(mdb->fmt->pg_size)) throw damaged(path);
  const unsigned char* p = mdb->pg_buf + start;
  if (col->col_type == MDB_TEXT) {
    v.kind = text(p, length, v.text) ? JetValue::Kind::Text : JetValue::Kind::BadText;
    return;
  }
  if (!isNumberType(col->col_type)) {
    v.kind = JetValue::Kind::Other;
    return;
  }
  const int need =
      col->col_type == MDB_NUMERIC ? 17 : mdb_col_fixed_size(const_cast<MdbColumn*>(col));
  if (length < need) throw damaged(path);
  v.kind = JetValue::Kind::Number;
  if (col->col_type == MDB_NUMERIC) {
    char* digits = mdb_numeric_to_string(mdb.get(), start, col->col_scale, col->col_prec);
    if (significantDigits(digits) > 15) v.kind = JetValue::Kind::Inexact;
    v.number = std::strtod(digits, nullptr);
    g_free(digits);
  } else {
    v.number = fixedNumber(col->col_type, p, v.kind);
  }
  finishNumber(col->col_type, v);
}

JetTableReader::JetTableReader(const QString& path, const QString& table, const QStringList& fields)
    : d_(std::make_unique<Impl>()) {
  d_->path = path;
  d_->open(table, fields);
}

JetTableReader::~JetTableReader() = default;

const QString& JetTableReader::path() const { return d_->path; }
bool JetTableReader::isJet3() const { return !d_->jet4; }
qint64 JetTableReader::announcedCount() const { return d_->announced; }
qint64 JetTableReader::position() const { return d_->position; }

bool JetTableReader::Impl::nextRow(int& start, int& size) {
  MdbHandle* h = mdb.get();
  const int rco = int(h->fmt->row_count_offset);
  for (;;) {
    if (slot >= slotCount) {
      // libmdb's own walk over the usage map, which the guard has checked.
      if (!mdb_read_next_dpg(table.get())) return false;
      walkPage = table->cur_phys_pg;
      slot = 0;
      slotCount = le16(h->pg_buf + rco);
      walkPageLoaded = true;
      continue;
    }
    if (!walkPageLoaded) {
      if (mdb_read_pg(h, walkPage) != ssize_t(h->fmt->pg_size)) throw damaged(path);
      walkPageLoaded = true;
    }
    size_t length = 0;
    if (mdb_find_row(h, slot++, &start, &length) != 0) throw damaged(path);
    if (start & kDeletedFlag) continue;
    size = int(length);
    for (int hop = 0; start & kMovedFlag; ++hop) {
      const unsigned char* p = h->pg_buf + (start & kOffsetMask);
      if (hop == kMaxMoves || size < 4) throw damaged(path);
      const unsigned long pg = p[1] | p[2] << 8 | std::uint32_t(p[3]) << 16;
      const int target = p[0];
      walkPageLoaded = false;  // the page buffer now holds the moved row's page
      if (mdb_read_pg(h, pg) != ssize_t(h->fmt->pg_size) || target >= le16(h->pg_buf + rco) ||
          mdb_find_row(h, target, &start, &length) != 0)
        throw damaged(path);
      size = int(length);
    }
    start &= kOffsetMask;
    if (size == 0) throw damaged(path);
    return true;
  }
}

bool JetTableReader::next() {
  Impl& d = *d_;
  if (d.finished) return false;
  int start = 0, size = 0;
  if (!d.nextRow(start, size)) {
    d.finished = true;
    if (d.position != d.announced) throw damaged(d.path);
    return false;
  }
  // libmdb cracks the row into its columns' places on the page, as its own walk would.
  d.fields.resize(d.table->num_cols);
  if (mdb_crack_row(d.table.get(), start, size_t(size), d.fields.data()) < 0) throw damaged(d.path);
  for (const MdbField& f : d.fields) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(d.table->columns, f.colnum));
    const bool has = !f.is_null && f.siz > 0;
    col->cur_value_start = has ? f.start : 0;
    col->cur_value_len = has ? f.siz : 0;
  }
  ++d.position;
  d.row = d.mdb->pg_buf + start;
  d.rowSize = size;
  std::fill(d.decoded.begin(), d.decoded.end(), false);
  return true;
}

const JetValue& JetTableReader::value(int field) {
  if (!d_->decoded[size_t(field)]) {
    d_->decode(field, d_->values[size_t(field)]);
    d_->decoded[size_t(field)] = true;
  }
  return d_->values[size_t(field)];
}

}  // namespace sorvane::jet
