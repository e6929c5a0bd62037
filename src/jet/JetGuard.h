#pragma once

// The checks made before libmdb walks a structure. libmdb trusts the pages it reads: on a
// damaged file it can read outside its buffers, allocate without end, loop forever or print.
// Before it sees a structure, the same structure is checked here, from the file itself, the
// way libmdb will read it, and a file that fails is refused as damaged.

#include <QFile>
#include <cstdint>
#include <optional>
#include <vector>

namespace sorvane::jet {

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
  std::optional<std::vector<int>> varOffsets(const unsigned char* r, int size, int maskSize) const;
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

}  // namespace sorvane::jet
