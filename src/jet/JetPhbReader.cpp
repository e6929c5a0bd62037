#include "jet/JetPhbReader.h"

#include <glib.h>  // before mdbtools.h, which would include it inside extern "C"
#include <iconv.h>
#include <mdbtools.h>

#include <QFile>
#include <QFileInfo>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace sorvane::jet {

JetReadError::JetReadError(Kind kind, const QString& message, qint64 record)
    : std::runtime_error(message.toStdString()), kind_(kind), message_(message), record_(record) {}

namespace {

using Kind = JetReadError::Kind;

constexpr int kDate = 0, kIdentifier = 1, kCount = 2, kMean = 3;
constexpr int kIdentifierLimit = 12;  // characters, as table phb allows

// ---- messages ------------------------------------------------------------------------

JetReadError damaged(const QString& path) {
  return {Kind::Damaged,
          QStringLiteral("“%1”已经损坏或不完整，不能读取其中的记录。文件没有改动。").arg(path)};
}

JetReadError failure(JetFileKind kind, const QString& path) {
  switch (kind) {
    case JetFileKind::NotJet:
      return {Kind::NotJet,
              QStringLiteral("“%1”不是 Access (Jet) 数据库。文件没有改动。").arg(path)};
    case JetFileKind::Encrypted:
      return {Kind::Encrypted,
              QStringLiteral("“%1”设有数据库密码或已加密，本程序不能读取。请先在 Access 中"
                             "撤销密码和加密，再打开它。文件没有改动。")
                  .arg(path)};
    case JetFileKind::NewerFormat:
      return {Kind::NewerFormat,
              QStringLiteral("“%1”是 Access 2007 或更新版本的数据库，本程序只能转换 Access 97 "
                             "至 Access 2003 格式的文件。文件没有改动。")
                  .arg(path)};
    default:
      return damaged(path);
  }
}

// ---- the header page -----------------------------------------------------------------

constexpr char kJetName[] = "Standard Jet DB";
constexpr char kAceName[] = "Standard ACE DB";
constexpr int kHeaderBytes = 0x98;  // through the end of the masked part

// Jet obscures the header from 0x18 on with RC4 under a fixed key.
void unmaskHeader(QByteArray& head, bool jet4) {
  const std::uint8_t key[4] = {0xc7, 0xda, 0x39, 0x6b};
  std::uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = std::uint8_t(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xff;
    std::swap(s[i], s[j]);
  }
  char* data = head.data() + 0x18;
  for (int n = 0, i = 0, j = 0; n < (jet4 ? 128 : 126); ++n) {
    i = (i + 1) & 0xff;
    j = (j + s[i]) & 0xff;
    std::swap(s[i], s[j]);
    data[n] = char(std::uint8_t(data[n]) ^ s[(s[i] + s[j]) & 0xff]);
  }
}

std::uint32_t le32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
int le16(const unsigned char* p) { return p[0] | p[1] << 8; }

JetFileKind classifyBytes(QByteArray head, qint64 size) {
  const bool startsLikeJet = head.size() >= 4 && head.startsWith(QByteArray("\0\1\0\0", 4));
  const QByteArray name = head.mid(4, 15);
  const bool jetName = name == kJetName, aceName = name == kAceName;
  if (!startsLikeJet || (!jetName && !aceName)) {
    // A file cut off inside the engine's name is a damaged Jet file, not a foreign one.
    const QByteArray seen = head.mid(4);
    if (startsLikeJet && head.size() < 19 &&
        (QByteArray(kJetName).startsWith(seen) || QByteArray(kAceName).startsWith(seen)))
      return JetFileKind::Damaged;
    return JetFileKind::NotJet;
  }
  if (head.size() < kHeaderBytes) return JetFileKind::Damaged;
  const unsigned version = std::uint8_t(head[0x14]);
  if (aceName || (version >= MDB_VER_ACCDB_2007 && version <= MDB_VER_ACCDB_2019))
    return JetFileKind::NewerFormat;
  if (version > MDB_VER_JET4) return JetFileKind::Damaged;
  const bool jet4 = version == MDB_VER_JET4;
  const qint64 pageSize = jet4 ? 4096 : 2048;
  // The catalog's definition is page 2; a Jet file is whole pages.
  if (size % pageSize != 0 || size < 4 * pageSize) return JetFileKind::Damaged;

  unmaskHeader(head, jet4);
  if (le32(head.constData() + 0x3e) != 0) return JetFileKind::Encrypted;
  // The password: 20 bytes in Jet 3; 40 in Jet 4, masked again with the creation date.
  char mask[4] = {0, 0, 0, 0};
  if (jet4) {
    double created;
    std::memcpy(&created, head.constData() + 0x72, 8);
    const std::int32_t days =
        std::isfinite(created) && std::abs(created) < 2e9 ? std::int32_t(created) : 0;
    std::memcpy(mask, &days, 4);
  }
  for (int i = 0; i < (jet4 ? 40 : 20); ++i)
    if ((head[0x42 + i] ^ mask[i % 4]) != 0) return JetFileKind::Encrypted;
  return jet4 ? JetFileKind::Jet4 : JetFileKind::Jet3;
}

void openForReading(QFile& file) {
  const QFileInfo info(file.fileName());
  if (!info.exists() || !info.isFile())
    throw JetReadError(Kind::FileMissing, QStringLiteral("找不到文件“%1”。").arg(file.fileName()));
  if (!file.open(QIODevice::ReadOnly))
    throw JetReadError(Kind::Unreadable,
                       QStringLiteral("不能打开文件“%1”：没有读取权限。").arg(file.fileName()));
}

// ---- checking what libmdb will walk -------------------------------------------------------
//
// libmdb trusts the pages it reads: on a damaged file it can read outside its buffers, loop
// forever or print to the standard error. Before it sees a structure, the same structure is
// checked here, from the file itself, and a file that fails is refused as damaged.

constexpr int kOffsetMask = 0x1fff;
// MSysObjects' definition; mdbtools.h's MDB_CATALOG_PG (18) is a leftover libmdb no longer uses.
constexpr std::uint32_t kCatalogPage = 2;
// Jet marks a row offset 0x8000 for a deleted row and 0x4000 for a row moved to another
// page. libmdb 1.0 reads the two the other way round: it returns deleted rows as live ones
// and passes over moved ones. So the reader walks the rows itself: a deleted row is passed
// over, and a moved row is followed. A row that grew too large for its page when it was
// edited is moved: its slot keeps a pointer (the row number in one byte, then the page
// number in three) and its data goes to another page, flagged deleted there so that a walk
// over the table sees it once, at the pointer's place.
constexpr int kDeletedFlag = 0x8000, kMovedFlag = 0x4000;
// Jet moves a row again rather than chain pointers; a few hops allow for that and stop a
// loop in a damaged file.
constexpr int kMaxMoves = 4;

struct ColumnInfo {
  int type = 0;
  int number = 0;  // bit in the null mask
  int varIndex = 0;
  int fixedOffset = 0;
  int size = 0;
  bool fixed = false;
  bool properties = false;  // the catalog's LvProp, which libmdb parses
  QByteArray name;          // as stored
};

struct TableInfo {
  int numVarCols = 0;
  std::vector<ColumnInfo> columns;  // in column-number order, as libmdb sorts them
  std::uint32_t usageMap = 0, freeMap = 0;
};

class Guard {
 public:
  Guard(QFile& file, bool jet4)
      : file_(file),
        jet4_(jet4),
        pageSize_(jet4 ? 4096 : 2048),
        pages_(quint32(file.size() / pageSize_)),
        page_(pageSize_, 0),
        other_(pageSize_, 0) {}

  std::optional<TableInfo> table(std::uint32_t tdefPage);
  // The catalog has the columns libmdb binds, of the types it converts them from.
  bool catalogColumns(TableInfo& info) const;
  // Every page the table's usage map names is one of its data pages, with sound rows.
  bool dataPages(std::uint32_t tdefPage, const TableInfo& info, bool catalog);

 private:
  bool read(std::uint32_t pg, std::vector<unsigned char>& buf) {
    if (pg >= pages_) return false;
    return file_.seek(qint64(pg) * pageSize_) &&
           file_.read(reinterpret_cast<char*>(buf.data()), pageSize_) == pageSize_;
  }
  // The bounds of row `row` on the page in `buf`, as libmdb's mdb_find_row takes them.
  bool rowBounds(const std::vector<unsigned char>& buf, int row, int& start, int& size,
                 int& flags) const;
  // The bytes of row pg_row (page << 8 | row), copied out.
  std::optional<QByteArray> pgRow(std::uint32_t pgRow);
  bool row(const std::vector<unsigned char>& buf, int start, int size, const TableInfo& info,
           bool catalog);
  // The row a moved row's pointer leads to is a sound row of the same table.
  bool movedRow(const unsigned char* pointer, int size, std::uint32_t tdefPage,
                const TableInfo& info);
  bool text(const unsigned char* p, int size) const;
  // The bytes libmdb gathers for a long value: inline, one row, or a chain of rows.
  std::optional<QByteArray> longValue(const unsigned char* p, int size);
  bool properties(const QByteArray& blob) const;
  int propertyNames(const unsigned char* p, int size) const;
  bool propertyBlock(const unsigned char* p, int size, int names) const;
  bool propertyValue(int type, const unsigned char* p, int size) const;

  QFile& file_;
  bool jet4_;
  int pageSize_;
  quint32 pages_;
  std::vector<unsigned char> page_, other_;
};

bool Guard::rowBounds(const std::vector<unsigned char>& buf, int row, int& start, int& size,
                      int& flags) const {
  const int rco = jet4_ ? 12 : 8;
  if (row > 1000 || rco + 2 + row * 2 + 2 > pageSize_) return false;
  const int raw = le16(&buf[rco + 2 + row * 2]);
  const int next = row == 0 ? pageSize_ : le16(&buf[rco + row * 2]) & kOffsetMask;
  flags = raw & ~kOffsetMask;
  start = raw & kOffsetMask;
  size = next - start;
  const int tableEnd = rco + 2 + 2 * le16(&buf[rco]);
  // Access leaves deleted rows of no length behind; libmdb passes over them.
  return start >= tableEnd && (start < next || (flags != 0 && start == next)) && next <= pageSize_;
}

std::optional<QByteArray> Guard::pgRow(std::uint32_t pgRow) {
  int start, size, flags;
  const int rco = jet4_ ? 12 : 8;
  if (!read(pgRow >> 8, other_) || int(pgRow & 0xff) >= le16(&other_[rco]) ||
      !rowBounds(other_, int(pgRow & 0xff), start, size, flags))
    return std::nullopt;
  return QByteArray(reinterpret_cast<const char*>(&other_[start]), size);
}

std::optional<TableInfo> Guard::table(std::uint32_t tdefPage) {
  // The definition, following its continuation pages as libmdb does: a page's bytes from
  // offset 8 on continue the previous page's.
  QByteArray def;
  std::unordered_set<std::uint32_t> seen;
  for (std::uint32_t pg = tdefPage; pg != 0;) {
    if (!seen.insert(pg).second || !read(pg, page_) || page_[0] != 0x02) return std::nullopt;
    def.append(reinterpret_cast<const char*>(page_.data()) + (def.isEmpty() ? 0 : 8),
               def.isEmpty() ? pageSize_ : pageSize_ - 8);
    pg = le32(reinterpret_cast<const char*>(&page_[4]));
  }
  const auto* d = reinterpret_cast<const unsigned char*>(def.constData());
  const int typeAt = jet4_ ? 40 : 20;
  TableInfo info;
  info.numVarCols = le16(d + typeAt + 3);
  const int numCols = le16(d + typeAt + 5);
  const int maxCols = le16(d + typeAt + 1);
  const std::uint32_t realIdx = le32(def.constData() + typeAt + 11);
  info.usageMap = le32(def.constData() + typeAt + 15);
  info.freeMap = le32(def.constData() + typeAt + 19);
  // libmdb cracks rows into a fixed array of 256 fields.
  if (numCols < 1 || numCols > 255 || realIdx > 1000) return std::nullopt;
  const int entrySize = jet4_ ? 25 : 18;
  qint64 at = (jet4_ ? 63 : 43) + qint64(realIdx) * (jet4_ ? 12 : 8);
  if (at + qint64(numCols) * entrySize > def.size()) return std::nullopt;
  for (int i = 0; i < numCols; ++i, at += entrySize) {
    const unsigned char* e = d + at;
    ColumnInfo c;
    c.type = e[0];
    c.number = e[jet4_ ? 5 : 1];
    c.varIndex = le16(e + (jet4_ ? 7 : 3));
    c.fixed = e[jet4_ ? 15 : 13] & 0x01;
    c.fixedOffset = le16(e + (jet4_ ? 21 : 14));
    c.size = c.type == MDB_BOOL ? 0 : le16(e + (jet4_ ? 23 : 16));
    // A row's null mask covers the columns the table ever had, no more.
    if (c.number >= maxCols) return std::nullopt;
    info.columns.push_back(c);
  }
  for (ColumnInfo& c : info.columns) {
    if (at + (jet4_ ? 2 : 1) > def.size()) return std::nullopt;
    const int length = jet4_ ? le16(d + at) : d[at];
    at += jet4_ ? 2 : 1;
    if (at + length > def.size() || !text(d + at, length)) return std::nullopt;
    c.name = def.mid(at, length);
    at += length;
  }
  std::stable_sort(info.columns.begin(), info.columns.end(),
                   [](const ColumnInfo& a, const ColumnInfo& b) { return a.number < b.number; });
  // Both maps must be rows libmdb can find, of a kind it knows.
  for (std::uint32_t map : {info.usageMap, info.freeMap}) {
    const auto bytes = pgRow(map);
    if (!bytes || bytes->size() < 5 || std::uint8_t((*bytes)[0]) > 1) return std::nullopt;
  }
  return info;
}

bool Guard::catalogColumns(TableInfo& info) const {
  const std::pair<const char*, int> bound[] = {{"Id", MDB_LONGINT},
                                               {"Name", MDB_TEXT},
                                               {"Type", MDB_INT},
                                               {"Flags", MDB_LONGINT},
                                               {"LvProp", MDB_OLE}};
  for (const auto& [name, type] : bound) {
    bool found = false;
    for (ColumnInfo& c : info.columns) {
      const QString has =
          jet4_ ? QString::fromUtf16(reinterpret_cast<const char16_t*>(c.name.constData()),
                                     c.name.size() / 2)
                : QString::fromLatin1(c.name);
      if (has.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
        if (c.type != type) return false;  // libmdb binds the first of that name
        c.properties = type == MDB_OLE;
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  return true;
}

// A Jet 4 text in compressed form must end cleanly; libmdb's decompression never ends on
// an odd last byte in two-byte mode.
bool Guard::text(const unsigned char* p, int size) const {
  if (!jet4_ || size < 2 || p[0] != 0xff || p[1] != 0xfe) return true;
  bool oneByte = true;
  for (int i = 2; i < size;) {
    if (p[i] == 0) {
      oneByte = !oneByte;
      ++i;
    } else if (oneByte) {
      ++i;
    } else if (i + 2 <= size) {
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

// A long value (memo or OLE) header; libmdb follows it when it reads the catalog's
// properties, so its pages must exist and its chain must end.
std::optional<QByteArray> Guard::longValue(const unsigned char* p, int size) {
  if (size < MDB_MEMO_OVERHEAD) return std::nullopt;
  const auto* bytes = reinterpret_cast<const char*>(p);
  const std::uint32_t header = le32(bytes);
  const std::uint32_t length = header & 0x3fffffff;
  if (header & 0x80000000) {
    if (length > std::uint32_t(size - MDB_MEMO_OVERHEAD)) return std::nullopt;
    return QByteArray(bytes + MDB_MEMO_OVERHEAD, size - MDB_MEMO_OVERHEAD);
  }
  std::uint32_t next = le32(bytes + 4);
  if (header & 0x40000000) return pgRow(next);
  if (header & 0xf0000000) return std::nullopt;
  QByteArray whole;
  for (std::uint32_t steps = 0; next != 0; ++steps) {
    const auto part = pgRow(next);
    if (!part || part->size() < 4 || steps > pages_) return std::nullopt;
    whole += part->mid(4);
    // libmdb reads the catalog's properties into such a buffer
    if (whole.size() > MDB_BIND_SIZE) return std::nullopt;
    next = le32(part->constData());
  }
  return whole;
}

// A catalog entry's properties as libmdb parses them (mdb_kkd_to_props), trusting every
// length in them: a signature, then chunks of a 4-byte length (the chunk's own six bytes
// included) and a 2-byte type; a chunk of property names comes before the chunks of values.
bool Guard::properties(const QByteArray& blob) const {
  const auto* d = reinterpret_cast<const unsigned char*>(blob.constData());
  const qsizetype size = blob.size();
  if (size < 4 || (std::memcmp(d, "MR2", 4) != 0 && std::memcmp(d, "KKD", 4) != 0)) return false;
  int names = -1;
  for (qsizetype at = 4; at < size;) {
    if (size - at < 6) return false;
    const std::uint32_t length = le32(blob.constData() + at);
    const int type = le16(d + at + 4);
    if (length < 6 || length > std::uint64_t(size - at)) return false;
    const unsigned char* chunk = d + at + 6;
    const int chunkSize = int(length) - 6;
    if (type == 0x80) {
      names = propertyNames(chunk, chunkSize);
      if (names < 0) return false;
    } else if (type > 2 || names < 0 || !propertyBlock(chunk, chunkSize, names)) {
      return false;  // libmdb prints on an unknown chunk or values before names
    }
    at += length;
  }
  return true;
}

// A chunk of names: each a 2-byte length and the name. Returns how many, or -1.
int Guard::propertyNames(const unsigned char* p, int size) const {
  int count = 0;
  for (int at = 0; at < size; ++count) {
    if (size - at < 2) return -1;
    const int length = le16(p + at);
    at += 2;
    if (length > size - at || !text(p + at, length)) return -1;
    at += length;
  }
  return count;
}

// A chunk of values: a 4-byte length and a named block's name, then records of a 2-byte
// length, a flag, the value's type, the index of its name, the value's size and the value.
bool Guard::propertyBlock(const unsigned char* p, int size, int names) const {
  if (size < 6) return false;
  const int nameLength = le16(p + 4);
  if (nameLength > size - 6 || !text(p + 6, nameLength)) return false;
  for (int at = 6 + nameLength; at < size;) {
    if (size - at < 8) return false;
    const int length = le16(p + at), type = p[at + 3], name = le16(p + at + 4);
    const int valueSize = le16(p + at + 6);
    if (length < 8 + valueSize || length > size - at || name >= names) return false;
    if (!propertyValue(type, p + at + 8, valueSize)) return false;
    at += length;
  }
  return true;
}

bool Guard::row(const std::vector<unsigned char>& buf, int start, int size, const TableInfo& info,
                bool catalog) {
  const unsigned char* r = &buf[start];
  const int countSize = jet4_ ? 2 : 1;
  if (size < countSize + 1) return false;
  const int cols = jet4_ ? le16(r) : r[0];
  const int maskSize = (cols + 7) / 8;
  int varCols = 0;
  std::vector<int> offsets;
  if (info.numVarCols > 0) {
    // From the end: null mask, count of variable columns, their offsets (the last one is
    // the end of the data); Jet 3 puts a jump table between them for rows over 255 bytes.
    const int countAt = size - maskSize - countSize;
    if (countAt < countSize) return false;
    varCols = jet4_ ? le16(r + countAt) : r[countAt];
    if (jet4_) {
      const int first = countAt - 2 * (varCols + 1);
      if (first < countSize) return false;
      for (int i = 0; i <= varCols; ++i) offsets.push_back(le16(r + countAt - 2 - 2 * i));
    } else {
      int jumps = (size - 1) / 256;
      const int colPtr = size - 1 - maskSize - jumps - 1;
      if ((colPtr - varCols) / 256 < jumps) --jumps;
      const int ptr = size - 1 - maskSize - jumps - 1;
      if (ptr - varCols < countSize) return false;
      int used = 0;
      for (int i = 0; i <= varCols; ++i) {
        while (used < jumps && i == r[size - 1 - maskSize - used - 1]) ++used;
        offsets.push_back(r[ptr - i] + used * 256);
      }
    }
    for (int i = 0; i < varCols; ++i)
      if (offsets[i] < countSize || offsets[i] > offsets[i + 1] || offsets[i + 1] > size)
        return false;
  } else if (size < countSize + maskSize) {
    return false;
  }
  if (varCols > cols) return false;
  // Every value libmdb will take from this row lies inside it.
  int fixedFound = 0;
  for (const ColumnInfo& c : info.columns) {
    int from = 0, length = 0;
    if (c.fixed && fixedFound < cols - varCols) {
      from = c.fixedOffset + countSize;
      length = c.size;
      ++fixedFound;
    } else if (!c.fixed && c.varIndex < varCols) {
      from = offsets[size_t(c.varIndex)];
      length = offsets[size_t(c.varIndex) + 1] - from;
    } else {
      continue;
    }
    if (from + length > size) return false;
    const bool present =
        c.number / 8 < maskSize && (r[size - maskSize + c.number / 8] >> (c.number % 8)) & 1;
    if (!present) continue;
    // libmdb reads a long value's 12-byte header even where the row gives it no bytes.
    if (catalog && (c.type == MDB_OLE || c.type == MDB_MEMO)) {
      const auto blob = longValue(r + from, length);
      if (!blob || (c.properties && !properties(*blob))) return false;
    }
    if ((c.type == MDB_TEXT || c.type == MDB_MEMO) && !text(r + from, length)) return false;
  }
  return true;
}

bool Guard::dataPages(std::uint32_t tdefPage, const TableInfo& info, bool catalog) {
  const auto map = pgRow(info.usageMap);
  if (!map) return false;
  std::vector<std::uint32_t> pages;  // one map's worth of page numbers, not the rows
  const auto* m = reinterpret_cast<const unsigned char*>(map->constData());
  if (m[0] == 0) {
    const std::uint32_t first = le32(map->constData() + 1);
    for (int i = 0; i < (map->size() - 5) * 8; ++i)
      if (m[5 + i / 8] >> (i % 8) & 1) pages.push_back(first + std::uint32_t(i));
  } else {
    const std::uint32_t perPage = std::uint32_t(pageSize_ - 4) * 8;
    for (int k = 0; k < (map->size() - 1) / 4; ++k) {
      const std::uint32_t mapPage = le32(map->constData() + 1 + 4 * k);
      if (mapPage == 0) continue;
      if (!read(mapPage, other_)) return false;
      for (std::uint32_t i = 0; i < perPage; ++i)
        if (other_[4 + i / 8] >> (i % 8) & 1) pages.push_back(std::uint32_t(k) * perPage + i);
    }
  }
  const int rco = jet4_ ? 12 : 8;
  for (std::uint32_t pg : pages) {
    if (pg == 0) continue;  // libmdb's scan starts after page 0
    if (!read(pg, page_) || page_[0] != 0x01 ||
        le32(reinterpret_cast<const char*>(&page_[4])) != tdefPage)
      return false;
    const int rows = le16(&page_[rco]);
    for (int i = 0; i < rows; ++i) {
      int start, size, flags;
      if (!rowBounds(page_, i, start, size, flags)) return false;
      // libmdb cracks every row but a moved one, deleted rows too.
      if (!(flags & kMovedFlag) && size > 0 && !row(page_, start, size, info, catalog))
        return false;
      // The reader follows a live moved row of a user table.
      if (!catalog && (flags & (kMovedFlag | kDeletedFlag)) == kMovedFlag &&
          !movedRow(&page_[start], size, tdefPage, info))
        return false;
    }
  }
  return true;
}

bool Guard::movedRow(const unsigned char* pointer, int size, std::uint32_t tdefPage,
                     const TableInfo& info) {
  if (size < 4) return false;
  std::uint32_t pg = pointer[1] | pointer[2] << 8 | std::uint32_t(pointer[3]) << 16;
  int slot = pointer[0];
  const int rco = jet4_ ? 12 : 8;
  for (int hop = 0; hop < kMaxMoves; ++hop) {
    int start, length, flags;
    if (!read(pg, other_) || other_[0] != 0x01 ||
        le32(reinterpret_cast<const char*>(&other_[4])) != tdefPage || slot >= le16(&other_[rco]) ||
        !rowBounds(other_, slot, start, length, flags))
      return false;
    if (!(flags & kMovedFlag)) return length > 0 && row(other_, start, length, info, false);
    if (length < 4) return false;
    pg = other_[start + 1] | other_[start + 2] << 8 | std::uint32_t(other_[start + 3]) << 16;
    slot = other_[start];
  }
  return false;
}

// libmdb turns a value into text by its type, reading as many bytes as the type takes.
bool Guard::propertyValue(int type, const unsigned char* p, int size) const {
  switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
      return size >= 1;
    case MDB_INT:
      return size >= 2;
    case MDB_LONGINT:
    case MDB_FLOAT:
      return size >= 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
      return size >= 8;
    case MDB_REPID:
      return size >= 16;
    case MDB_NUMERIC:
      return size >= 17;
    case MDB_TEXT:
    case MDB_MEMO:
      return text(p, size);
    case MDB_BINARY:
    case MDB_OLE:
      return true;
    default:
      return false;
  }
}

// ---- libmdb --------------------------------------------------------------------------

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

QString typeName(int type) {
  switch (type) {
    case MDB_BOOL:
      return QStringLiteral("是/否");
    case MDB_DATETIME:
      return QStringLiteral("日期/时间");
    case MDB_TEXT:
      return QStringLiteral("文本");
    case MDB_MEMO:
      return QStringLiteral("备注");
    case MDB_OLE:
    case MDB_BINARY:
      return QStringLiteral("二进制数据");
    case MDB_REPID:
      return QStringLiteral("同步复制 ID");
    default:
      return QStringLiteral("数字");
  }
}

// Significant digits of a decimal text such as "-1110.554" or "0.0500".
int significantDigits(const char* text) {
  std::string digits;
  for (const char* p = text; *p; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  const size_t last = digits.find_last_not_of('0');
  return int(last - first + 1);
}

}  // namespace

JetFileKind classifyJetFile(const QString& path) {
  QFile file(path);
  openForReading(file);
  return classifyBytes(file.read(kHeaderBytes), file.size());
}

// ---- reading a table ------------------------------------------------------------------

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

  MdbCatalogEntry* entry = nullptr;
  for (guint i = 0; i < mdb->num_catalog && !entry; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (mdb_is_user_table(e) &&
        QString::fromUtf8(e->object_name).compare(tableName, Qt::CaseInsensitive) == 0)
      entry = e;
  }
  if (!entry)
    throw JetReadError(
        Kind::TableMissing,
        QStringLiteral("数据库“%1”中找不到表“%2”。文件没有改动。").arg(path, tableName));

  const auto info = guard.table(std::uint32_t(entry->table_pg));
  if (!info || !guard.dataPages(std::uint32_t(entry->table_pg), *info, false)) throw damaged(path);
  table.reset(mdb_read_table(entry));
  if (!table || !mdb_read_columns(table.get())) throw damaged(path);
  for (const QString& name : fields) {
    MdbColumn* found = nullptr;
    for (guint i = 0; i < table->num_cols && !found; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      if (QString::fromUtf8(col->name).compare(name, Qt::CaseInsensitive) == 0) found = col;
    }
    if (!found)
      throw JetReadError(Kind::FieldMissing,
                         QStringLiteral("数据库“%1”的表“%2”中找不到字段“%3”。文件没有改动。")
                             .arg(path, tableName, name));
    columns.push_back(found);
  }
  values.resize(columns.size());
  decoded.resize(columns.size());
  announced = table->num_rows;
  mdb_rewind_table(table.get());
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
  if (length >= 2 && p[0] == 0xff && p[1] == 0xfe) {
    // Compressed: one byte per character below U+0100, a zero byte switching to and from
    // two-byte characters.
    bool oneByte = true;
    for (int i = 2; i < length;) {
      if (p[i] == 0) {
        oneByte = !oneByte;
        ++i;
      } else if (oneByte) {
        out.append(QChar(p[i++]));
      } else if (i + 2 <= length) {
        out.append(QChar(char16_t(le16(p + i))));
        i += 2;
      } else {
        return false;
      }
    }
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
  v.kind = JetValue::Kind::Null;
  v.columnType = col->col_type;
  v.number = 0;
  v.date = QDate();
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
  const int need =
      col->col_type == MDB_NUMERIC ? 17 : mdb_col_fixed_size(const_cast<MdbColumn*>(col));
  switch (col->col_type) {
    case MDB_TEXT:
      v.kind = text(p, length, v.text) ? JetValue::Kind::Text : JetValue::Kind::BadText;
      return;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_NUMERIC:
      if (length < need) throw damaged(path);
      break;
    default:
      v.kind = JetValue::Kind::Other;
      return;
  }
  v.kind = JetValue::Kind::Number;
  switch (col->col_type) {
    case MDB_BYTE:
      v.number = p[0];
      break;
    case MDB_INT:
      v.number = std::int16_t(le16(p));
      break;
    case MDB_LONGINT:
      v.number = std::int32_t(le32(reinterpret_cast<const char*>(p)));
      break;
    case MDB_FLOAT: {
      // A Single counts as its shortest decimal form (7.26, not 7.260000228881836), the
      // value Access showed.
      float single;
      std::memcpy(&single, p, 4);
      char digits[32];
      *std::to_chars(digits, digits + sizeof digits - 1, single).ptr = '\0';
      v.number = std::strtod(digits, nullptr);
      break;
    }
    case MDB_MONEY: {
      std::int64_t units;
      std::memcpy(&units, p, 8);
      if (significantDigits(std::to_string(units).c_str()) > 15) v.kind = JetValue::Kind::Inexact;
      v.number = double(units) / 10000.0;
      break;
    }
    case MDB_NUMERIC: {
      char* digits = mdb_numeric_to_string(mdb.get(), start, col->col_scale, col->col_prec);
      if (significantDigits(digits) > 15) v.kind = JetValue::Kind::Inexact;
      v.number = std::strtod(digits, nullptr);
      g_free(digits);
      break;
    }
    default:  // Double and DateTime
      std::memcpy(&v.number, p, 8);
  }
  if (!std::isfinite(v.number)) v.kind = JetValue::Kind::OutOfRange;
  if (col->col_type != MDB_DATETIME || v.kind != JetValue::Kind::Number) return;
  // Days since 1899-12-30; before that the whole part counts back while the fraction
  // still runs forward through the day. Jet's own range is years 100 to 9999.
  if (v.number < -657434.0 || v.number >= 2958466.0) {
    v.kind = JetValue::Kind::OutOfRange;
    return;
  }
  double whole;
  const double fraction = std::abs(std::modf(v.number, &whole));
  qint64 ms = std::llround(fraction * 86400000.0);
  qint64 day = qint64(whole);
  if (ms >= 86400000) {  // a hair before midnight rounds to the next day
    ms -= 86400000;
    ++day;
  }
  v.kind = JetValue::Kind::DateTime;
  v.date = QDate(1899, 12, 30).addDays(day);
  v.time = QTime::fromMSecsSinceStartOfDay(int(ms));
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

// ---- table phb -------------------------------------------------------------------------

namespace {

const QStringList& phbFields() {
  static const QStringList names{QStringLiteral("日期"), QStringLiteral("标识符"),
                                 QStringLiteral("样本数"), QStringLiteral("pH均值")};
  return names;
}

}  // namespace

JetPhbReader::JetPhbReader(const QString& path)
    : table_(path, QStringLiteral("phb"), phbFields()) {}

bool JetPhbReader::next(PhbRecord& record) {
  if (!table_.next()) return false;
  record = PhbRecord{};
  record.position = table_.position();

  // The identifier first: the message about any field names it.
  const JetValue& id = table_.value(kIdentifier);
  std::optional<QString> shown;
  if (id.kind == JetValue::Kind::Text) shown = id.text;
  auto refuse = [&](const QString& why) {
    const QString which =
        shown ? QStringLiteral("第 %1 条记录（标识符“%2”）").arg(record.position).arg(*shown)
              : QStringLiteral("第 %1 条记录（没有标识符）").arg(record.position);
    return JetReadError(Kind::BadRecord,
                        QStringLiteral("“%1”中%2不能原样转换：%3。没有转换任何记录，文件没有改动。")
                            .arg(table_.path(), which, why),
                        record.position);
  };
  auto wrongType = [&](int field, const char* wanted) {
    return refuse(QStringLiteral("字段“%1”是%2类型，不是%3")
                      .arg(phbFields()[field], typeName(table_.value(field).columnType),
                           QString::fromUtf8(wanted)));
  };

  switch (id.kind) {
    case JetValue::Kind::Null:
      break;
    case JetValue::Kind::Text: {
      qsizetype characters = 0;  // a surrogate pair is one character
      for (QChar c : id.text) characters += c.isLowSurrogate() ? 0 : 1;
      if (characters > kIdentifierLimit)
        throw refuse(QStringLiteral("标识符有 %1 个字符，超过了 %2 个字符的上限")
                         .arg(characters)
                         .arg(kIdentifierLimit));
      record.identifier = id.text;
      break;
    }
    case JetValue::Kind::BadText:
      throw refuse(QStringLiteral("标识符中有不能识别的文字编码"));
    default:
      throw wrongType(kIdentifier, "文本");
  }

  const JetValue& date = table_.value(kDate);
  if (date.kind == JetValue::Kind::DateTime) {
    // phb keeps days only; cutting the time off would change the value.
    if (date.time != QTime(0, 0))
      throw refuse(QStringLiteral("日期带有时刻 %1，而表中只能保存日期")
                       .arg(date.time.toString(QStringLiteral("HH:mm:ss"))));
    record.date = date.date;
  } else if (date.kind == JetValue::Kind::OutOfRange && date.columnType == MDB_DATETIME) {
    throw refuse(QStringLiteral("日期超出了公元 100 年至 9999 年的范围"));
  } else if (date.kind != JetValue::Kind::Null) {
    throw wrongType(kDate, "日期");
  }

  for (int f : {kCount, kMean}) {
    const JetValue& v = table_.value(f);
    const bool numeric = v.columnType != MDB_DATETIME;
    if (v.kind == JetValue::Kind::Number && numeric) {
      (f == kCount ? record.sampleCount : record.mean) = v.number;
    } else if (v.kind == JetValue::Kind::Inexact) {
      throw refuse(
          QStringLiteral("字段“%1”的值有 15 位以上有效数字，不能原样保存").arg(phbFields()[f]));
    } else if (v.kind == JetValue::Kind::OutOfRange && numeric) {
      throw refuse(QStringLiteral("字段“%1”的值不是有限的数").arg(phbFields()[f]));
    } else if (v.kind != JetValue::Kind::Null) {
      throw wrongType(f, "数字");
    }
  }
  return true;
}

}  // namespace sorvane::jet
