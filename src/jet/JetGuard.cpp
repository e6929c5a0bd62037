#include "jet/JetGuard.h"

#include <glib.h>  // before mdbtools.h, which would include it inside extern "C"
#include <mdbtools.h>

#include <algorithm>
#include <unordered_set>

#include "jet/JetFormat.h"

namespace sorvane::jet {

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
  return !jet4_ || !isCompressedText(p, size) || walkCompressedText(p, size, [](char16_t) {});
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

// The offsets of a row's variable columns, the end of the data last, read from the end of
// the row as libmdb reads them; none when they do not fit the row.
std::optional<std::vector<int>> Guard::varOffsets(const unsigned char* r, int size,
                                                  int maskSize) const {
  const int countSize = jet4_ ? 2 : 1;
  // From the end: null mask, count of variable columns, their offsets (the last one is the
  // end of the data); Jet 3 puts a jump table between them for rows over 255 bytes.
  const int countAt = size - maskSize - countSize;
  if (countAt < countSize) return std::nullopt;
  const int varCols = jet4_ ? le16(r + countAt) : r[countAt];
  std::vector<int> offsets;
  if (jet4_) {
    const int first = countAt - 2 * (varCols + 1);
    if (first < countSize) return std::nullopt;
    for (int i = 0; i <= varCols; ++i) offsets.push_back(le16(r + countAt - 2 - 2 * i));
  } else {
    int jumps = (size - 1) / 256;
    const int colPtr = size - 1 - maskSize - jumps - 1;
    if ((colPtr - varCols) / 256 < jumps) --jumps;
    const int ptr = size - 1 - maskSize - jumps - 1;
    if (ptr - varCols < countSize) return std::nullopt;
    int used = 0;
    for (int i = 0; i <= varCols; ++i) {
      while (used < jumps && i == r[size - 1 - maskSize - used - 1]) ++used;
      offsets.push_back(r[ptr - i] + used * 256);
    }
  }
  for (int i = 0; i < varCols; ++i)
    if (offsets[i] < countSize || offsets[i] > offsets[i + 1] || offsets[i + 1] > size)
      return std::nullopt;
  return offsets;
}

bool Guard::row(const std::vector<unsigned char>& buf, int start, int size, const TableInfo& info,
                bool catalog) {
  const unsigned char* r = &buf[start];
  const int countSize = jet4_ ? 2 : 1;
  if (size < countSize + 1) return false;
  const int cols = jet4_ ? le16(r) : r[0];
  const int maskSize = (cols + 7) / 8;
  std::vector<int> offsets;
  if (info.numVarCols > 0) {
    auto found = varOffsets(r, size, maskSize);
    if (!found) return false;
    offsets = std::move(*found);
  } else if (size < countSize + maskSize) {
    return false;
  }
  const int varCols = offsets.empty() ? 0 : int(offsets.size()) - 1;
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

}  // namespace sorvane::jet
