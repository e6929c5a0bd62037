#pragma once

// What the Jet reader's parts share, internal to this library: the file's byte order, the
// marks on a page's row offsets, the compressed form of Jet 4 texts, the header's
// classification and the messages for a file that cannot be read.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstring>

#include "jet/JetPhbReader.h"

namespace sorvane::jet {

inline std::uint32_t le32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline int le16(const unsigned char* p) { return p[0] | p[1] << 8; }

inline constexpr int kOffsetMask = 0x1fff;
// MSysObjects' definition; mdbtools.h's MDB_CATALOG_PG (18) is a leftover libmdb no longer uses.
inline constexpr std::uint32_t kCatalogPage = 2;
// Jet marks a row offset 0x8000 for a deleted row and 0x4000 for a row moved to another
// page. libmdb 1.0 reads the two the other way round: it returns deleted rows as live ones
// and passes over moved ones. So the reader walks the rows itself: a deleted row is passed
// over, and a moved row is followed. A row that grew too large for its page when it was
// edited is moved: its slot keeps a pointer (the row number in one byte, then the page
// number in three) and its data goes to another page, flagged deleted there so that a walk
// over the table sees it once, at the pointer's place.
inline constexpr int kDeletedFlag = 0x8000, kMovedFlag = 0x4000;
// Jet moves a row again rather than chain pointers; a few hops allow for that and stop a
// loop in a damaged file.
inline constexpr int kMaxMoves = 4;

// A Jet 4 text in compressed form (starting 0xff 0xfe): one byte per character below
// U+0100, a zero byte switching to and from two-byte characters. Calls `character` with
// each; false when the text ends inside a two-byte character, where libmdb's
// decompression never ends.
template <typename Character>
bool walkCompressedText(const unsigned char* p, int size, Character&& character) {
  bool oneByte = true;
  for (int i = 2; i < size;) {
    if (p[i] == 0) {
      oneByte = !oneByte;
      ++i;
    } else if (oneByte) {
      character(char16_t(p[i++]));
    } else if (i + 2 <= size) {
      character(char16_t(le16(p + i)));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}
inline bool isCompressedText(const unsigned char* p, int size) {
  return size >= 2 && p[0] == 0xff && p[1] == 0xfe;
}

inline constexpr int kHeaderBytes = 0x98;  // through the end of the masked part
// What the first kHeaderBytes bytes of a file of `size` bytes say it is.
JetFileKind classifyBytes(QByteArray head, qint64 size);
// Throws FileMissing or Unreadable.
void openForReading(QFile& file);

JetReadError damaged(const QString& path);
// The refusal of a file of `kind` (not Jet3 or Jet4).
JetReadError failure(JetFileKind kind, const QString& path);

}  // namespace sorvane::jet
