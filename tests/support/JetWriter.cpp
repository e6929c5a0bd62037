#include "support/JetWriter.h"

#include <iconv.h>

#include <QDate>
#include <QFile>
#include <cstring>
#include <stdexcept>

namespace sorvane::testsupport {

namespace {

// Where things sit in a Jet 3 / Jet 4 file; the names follow mdbtools' HACKING.md.
struct Layout {
  int pageSize;
  int rowCountOffset;  // data page: number of rows, then the row offsets
  int tdefColumnsStart;
  int columnEntrySize;
  bool jet4;
};

constexpr Layout kJet3{2048, 8, 43, 18, false};
constexpr Layout kJet4{4096, 12, 63, 25, true};

// Page numbers: header, usage maps, the catalog's definition and rows, the table's
// definition, then the table's rows.
constexpr int kMapPage = 1, kCatalogTdefPage = 2, kCatalogDataPage = 3, kTableTdefPage = 4,
              kFirstTablePage = 5;

// Column type codes in table definitions, in the order of JetType, then the catalog's.
enum : std::uint8_t { kInt = 3, kLong, kMoney, kFloat, kDouble, kDateTime, kText = 10, kOle };
constexpr std::uint8_t kTypeCodes[] = {kInt, kLong, kMoney, kFloat, kDouble, kDateTime, kText};

constexpr int kDeletedFlag = 0x8000, kMovedFlag = 0x4000;

void put16(QByteArray& b, int at, int v) {
  b[at] = char(v & 0xff);
  b[at + 1] = char((v >> 8) & 0xff);
}
void put32(QByteArray& b, int at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xff);
}
void append16(QByteArray& b, int v) {
  b.append(char(v & 0xff));
  b.append(char((v >> 8) & 0xff));
}
template <typename T>
void appendRaw(QByteArray& b, T v) {
  char raw[sizeof(T)];
  std::memcpy(raw, &v, sizeof(T));  // the files are little-endian, like this machine
  b.append(raw, sizeof(T));
}

// Jet obscures the header with RC4 under a fixed key.
void maskHeader(char* data, int length) {
  const std::uint8_t key[4] = {0xc7, 0xda, 0x39, 0x6b};
  std::uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = std::uint8_t(i);
  for (int i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xff;
    std::swap(s[i], s[j]);
  }
  for (int n = 0, i = 0, j = 0; n < length; ++n) {
    i = (i + 1) & 0xff;
    j = (j + s[i]) & 0xff;
    std::swap(s[i], s[j]);
    data[n] = char(std::uint8_t(data[n]) ^ s[(s[i] + s[j]) & 0xff]);
  }
}

QByteArray toCp936(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  iconv_t cd = iconv_open("CP936", "UTF-8");
  if (cd == iconv_t(-1)) throw std::runtime_error("iconv has no CP936");
  QByteArray out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.constData());
  size_t inLeft = size_t(utf8.size()), outLeft = size_t(out.size());
  char* o = out.data();
  const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (rc == size_t(-1)) throw std::invalid_argument("text has no code page 936 form");
  out.truncate(out.size() - int(outLeft));
  return out;
}

// Jet 4 text: UCS-2, or its compressed form where that is shorter. Compressed text starts
// FF FE and stores characters below U+0100 in one byte; a zero byte switches between that
// and two-byte characters.
QByteArray jet4Text(const QString& text, bool compress) {
  QByteArray plain;
  for (QChar c : text) append16(plain, c.unicode());
  if (!compress) return plain;
  QByteArray packed("\xff\xfe", 2);
  bool oneByte = true;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u == 0 || (u & 0xff) == 0) return plain;  // a zero byte would read as a switch
    const bool small = u < 0x100;
    if (small != oneByte) {
      packed.append('\0');
      oneByte = small;
    }
    small ? void(packed.append(char(u))) : append16(packed, u);
  }
  return packed.size() < plain.size() ? packed : plain;
}

struct Column {
  QString name;
  std::uint8_t type;
  int size;  // bytes for fixed columns, the field size for texts
  bool fixed;
  int number;       // position in the row's null mask
  int fixedOffset;  // fixed columns: offset after the column count
  int varIndex;     // variable columns: index in the offset table
};

// A usage map of type 0: the first page it speaks of, then one bit per page.
QByteArray usageMap(int first, int count) {
  QByteArray m(5 + (first + count + 7) / 8, '\0');
  for (int pg = first; pg < first + count; ++pg) m[5 + pg / 8] |= char(1 << (pg % 8));
  return m;
}

class FileBuilder {
 public:
  explicit FileBuilder(JetVersion version) : l_(version == JetVersion::Jet4 ? kJet4 : kJet3) {}

  std::vector<Column> columns(const std::vector<JetColumn>& definitions,
                              const std::vector<std::uint8_t>& types) const {
    std::vector<Column> cols;
    int fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < definitions.size(); ++i) {
      const std::uint8_t type = types[i];
      const bool fixed = type != kText && type != kOle;
      Column c{definitions[i].name, type, 0, fixed, int(i), 0, 0};
      if (fixed) {
        c.size = type == kInt ? 2 : type == kLong || type == kFloat ? 4 : 8;
        c.fixedOffset = fixedOffset;
        fixedOffset += c.size;
      } else {
        c.size = definitions[i].textLength * (l_.jet4 ? 2 : 1);
        c.varIndex = varIndex++;
      }
      cols.push_back(c);
    }
    return cols;
  }

  QByteArray row(const std::vector<Column>& cols, const JetRow& values) const {
    if (values.size() != cols.size()) throw std::invalid_argument("row has the wrong width");
    const int n = int(cols.size());
    QByteArray r;
    // Jet 4 counts and offsets in rows take two bytes, Jet 3 one.
    auto put = [&](int v) { l_.jet4 ? append16(r, v) : void(r.append(char(v))); };
    put(n);
    QByteArray nullMask((n + 7) / 8, '\0');
    auto present = [&](const Column& c) { nullMask[c.number / 8] |= char(1 << (c.number % 8)); };
    // The JetValue alternative each column type takes.
    auto alternative = [](std::uint8_t type) {
      return type == kInt || type == kLong ? 1 : type == kMoney ? 2 : type == kText ? 4 : 3;
    };

    for (size_t i = 0; i < cols.size(); ++i) {
      const Column& c = cols[i];
      const JetValue& v = values[i];
      if (!c.fixed) continue;
      if (v.index() == 0) {
        r.append(QByteArray(c.size, '\0'));
        continue;
      }
      if (v.index() != size_t(alternative(c.type)))
        throw std::invalid_argument("value does not fit its column");
      present(c);
      if (c.type == kInt) appendRaw(r, std::int16_t(std::get<std::int64_t>(v)));
      if (c.type == kLong) appendRaw(r, std::int32_t(std::get<std::int64_t>(v)));
      if (c.type == kMoney) appendRaw(r, std::get<JetCurrency>(v).tenThousandths);
      if (c.type == kFloat) appendRaw(r, float(std::get<double>(v)));
      if (c.type == kDouble || c.type == kDateTime) appendRaw(r, std::get<double>(v));
    }
    // Variable columns: the non-null values one after another, then (from the end of the
    // row backwards) the null mask, the count of variable columns, their offsets in
    // reverse order and the end-of-data offset.
    std::vector<int> offsets;
    for (size_t i = 0; i < cols.size(); ++i) {
      const Column& c = cols[i];
      const JetValue& v = values[i];
      if (c.fixed) continue;
      offsets.push_back(r.size());
      if (v.index() == 0) continue;
      if (v.index() != size_t(alternative(c.type))) throw std::invalid_argument("text expected");
      const QString& text = std::get<QString>(v);
      if (text.size() > c.size / (l_.jet4 ? 2 : 1)) throw std::invalid_argument("text too long");
      present(c);
      r.append(l_.jet4 ? jet4Text(text, true) : toCp936(text));
    }
    if (!offsets.empty()) {
      const int eod = r.size();
      put(eod);
      for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) put(*it);
      put(int(offsets.size()));
    }
    r.append(nullMask);
    // Jet 3 keeps one-byte offsets and adds a jump table past 255 bytes, which this writer
    // does not make.
    if (!l_.jet4 && r.size() > 255) throw std::invalid_argument("Jet 3 row longer than 255 bytes");
    return r;
  }

  QByteArray tdef(const std::vector<Column>& cols, bool system, int rowCount, int usageRow,
                  int freeRow) const {
    QByteArray p(l_.pageSize, '\0');
    p.replace(0, 4, l_.jet4 ? QByteArray("\2\1\0\0", 4) : QByteArray("\2\1VC", 4));
    int varCount = 0;
    for (const Column& c : cols) varCount += c.fixed ? 0 : 1;
    put32(p, l_.jet4 ? 16 : 12, std::uint32_t(rowCount));
    const int typeAt = l_.jet4 ? 40 : 20;
    p[typeAt] = char(system ? 0x53 : 0x4e);
    put16(p, typeAt + 1, int(cols.size()));  // max columns
    put16(p, typeAt + 3, varCount);
    put16(p, typeAt + 5, int(cols.size()));
    // No indexes: both index counts stay zero. The usage maps are rows on the map page.
    put32(p, typeAt + 15, std::uint32_t(kMapPage << 8 | usageRow));
    put32(p, typeAt + 19, std::uint32_t(kMapPage << 8 | freeRow));

    int at = l_.tdefColumnsStart;
    for (const Column& c : cols) {
      const int e = at;
      p[e] = char(c.type);
      const int numberAt = l_.jet4 ? 5 : 1;
      put16(p, e + numberAt, c.number);
      put16(p, e + numberAt + 2, c.fixed ? 0 : c.varIndex);
      put16(p, e + numberAt + 4, c.number);
      p[e + (l_.jet4 ? 15 : 13)] = char(c.fixed ? 0x03 : 0x02);  // fixed length, may be null
      if (l_.jet4 && c.type == kText) p[e + 16] = 0x01;          // compressed Unicode allowed
      put16(p, e + (l_.jet4 ? 21 : 14), c.fixedOffset);
      put16(p, e + (l_.jet4 ? 23 : 16), c.size);
      at += l_.columnEntrySize;
    }
    for (const Column& c : cols) {
      const QByteArray name = l_.jet4 ? jet4Text(c.name, false) : toCp936(c.name);
      l_.jet4 ? put16(p, at, name.size()) : void(p[at] = char(name.size()));
      at += l_.jet4 ? 2 : 1;
      std::memcpy(p.data() + at, name.constData(), size_t(name.size()));
      at += name.size();
    }
    put16(p, at, 0xffff);  // end of the (empty) list of variable columns' own usage maps
    at += 2;
    put32(p, 8, std::uint32_t(at - 8));
    if (l_.jet4) put16(p, 2, l_.pageSize - at - 8);
    return p;
  }

  QByteArray dataPage(int owner, const std::vector<QByteArray>& rows,
                      const std::vector<int>& flags) const {
    QByteArray p(l_.pageSize, '\0');
    p[0] = p[1] = 0x01;
    put32(p, 4, std::uint32_t(owner));
    put16(p, l_.rowCountOffset, int(rows.size()));
    int end = l_.pageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
      const int start = end - rows[i].size();
      std::memcpy(p.data() + start, rows[i].constData(), size_t(rows[i].size()));
      put16(p, l_.rowCountOffset + 2 + int(i) * 2, start | (flags.empty() ? 0 : flags[i]));
      end = start;
    }
    put16(p, 2, end - (l_.rowCountOffset + 2 + 2 * int(rows.size())));
    return p;
  }

  // Lays rows onto data pages owned by table definition page `owner`, each row's offset
  // marked with its flags; `placed`, when given, receives each row's page index and slot.
  std::vector<QByteArray> pagesFor(int owner, const std::vector<QByteArray>& rows,
                                   const std::vector<int>& flags,
                                   std::vector<std::pair<int, int>>* placed = nullptr) const {
    std::vector<QByteArray> pages, onPage;
    std::vector<int> onPageFlags;
    int used = l_.rowCountOffset + 2;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (used + rows[i].size() + 2 > l_.pageSize) {
        pages.push_back(dataPage(owner, onPage, onPageFlags));
        onPage.clear();
        onPageFlags.clear();
        used = l_.rowCountOffset + 2;
      }
      if (placed) placed->emplace_back(int(pages.size()), int(onPage.size()));
      onPage.push_back(rows[i]);
      onPageFlags.push_back(flags[i]);
      used += rows[i].size() + 2;
    }
    if (!onPage.empty()) pages.push_back(dataPage(owner, onPage, onPageFlags));
    return pages;
  }

  QByteArray headerPage() const {
    QByteArray p(l_.pageSize, '\0');
    p[1] = 0x01;
    std::memcpy(p.data() + 4, "Standard Jet DB", 16);
    p[0x14] = char(l_.jet4 ? 1 : 0);
    // The part from 0x18 on is stored masked; fill it in clear, then mask it. No encoding
    // key and no password; Jet 4 masks the empty password with the creation date's days.
    if (l_.jet4) {
      const double created = 38000.5;
      const std::int32_t days = std::int32_t(created);
      std::memcpy(p.data() + 0x72, &created, 8);
      for (int i = 0; i < 40; i += 4) std::memcpy(p.data() + 0x42 + i, &days, 4);
    }
    maskHeader(p.data() + 0x18, l_.jet4 ? 128 : 126);
    return p;
  }

  QByteArray build(const JetTable& table) const {
    // MSysObjects with the columns libmdb reads from it.
    const std::vector<Column> catalog = columns({{"Id", {}},
                                                 {"ParentId", {}},
                                                 {"Name", {}, 255},
                                                 {"Type", {}},
                                                 {"Flags", {}},
                                                 {"LvProp", {}}},
                                                {kLong, kLong, kText, kInt, kLong, kOle});
    std::vector<std::uint8_t> types;
    for (const JetColumn& c : table.columns) types.push_back(kTypeCodes[int(c.type)]);
    const std::vector<Column> user = columns(table.columns, types);

    std::vector<QByteArray> userRows;
    for (const JetRow& r : table.rows) userRows.push_back(row(user, r));
    // A moved row's slot keeps four bytes: the row number on its new page, then that page's
    // number in three bytes. Its bytes go to pages after the others, flagged deleted.
    std::vector<QByteArray> movedRows;
    std::vector<int> userFlags(userRows.size(), 0);
    for (std::size_t index : table.movedRows) {
      movedRows.push_back(userRows.at(index));
      userRows[index] = QByteArray(4, '\0');
      userFlags[index] = kMovedFlag;
    }
    const int userPageCount = int(pagesFor(kTableTdefPage, userRows, userFlags).size());
    std::vector<std::pair<int, int>> placed;
    const std::vector<QByteArray> movedPages = pagesFor(
        kTableTdefPage, movedRows, std::vector<int>(movedRows.size(), kDeletedFlag), &placed);
    for (std::size_t k = 0; k < table.movedRows.size(); ++k) {
      QByteArray& pointer = userRows[table.movedRows[k]];
      pointer[0] = char(placed[k].second);
      const int page = kFirstTablePage + userPageCount + placed[k].first;
      for (int b = 0; b < 3; ++b) pointer[1 + b] = char((page >> (8 * b)) & 0xff);
    }
    std::vector<QByteArray> userPages = pagesFor(kTableTdefPage, userRows, userFlags);
    userPages.insert(userPages.end(), movedPages.begin(), movedPages.end());

    // Catalog rows: the catalog itself (a system table), then the user table. The flags
    // 0x80000002 mark system objects, which listings leave out.
    auto entry = [&](int page, const QString& name, std::int32_t flags) {
      return row(catalog, {std::int64_t(page), std::int64_t(0x0f000000), name, std::int64_t(1),
                           std::int64_t(flags), std::monostate{}});
    };
    const QByteArray catalogPage =
        dataPage(kCatalogTdefPage,
                 {entry(kCatalogTdefPage, QStringLiteral("MSysObjects"), std::int32_t(0x80000002)),
                  entry(kTableTdefPage, table.name, 0)},
                 {});

    // The map page holds four rows: each table's usage map and free-space map.
    const QByteArray tableMap = usageMap(kFirstTablePage, int(userPages.size()));
    if (tableMap.size() > l_.pageSize - l_.rowCountOffset - 60)
      throw std::invalid_argument("too many pages for one usage map");
    const QByteArray maps =
        dataPage(0, {usageMap(kCatalogDataPage, 1), usageMap(0, 0), tableMap, usageMap(0, 0)}, {});

    QByteArray file = headerPage() + maps + tdef(catalog, true, 2, 0, 1) + catalogPage +
                      tdef(user, false, int(table.rows.size()), 2, 3);
    for (const QByteArray& p : userPages) file += p;
    return file;
  }

 private:
  Layout l_;
};

}  // namespace

JetTable phbTable(std::vector<JetRow> rows, JetType countType) {
  return {QStringLiteral("phb"),
          {{QStringLiteral("日期"), JetType::DateTime},
           {QStringLiteral("标识符"), JetType::Text, 20},
           {QStringLiteral("样本数"), countType, 20},
           {QStringLiteral("pH均值"), JetType::Double}},
          std::move(rows),
          {}};
}

QByteArray jetFileBytes(JetVersion version, const JetTable& table) {
  return FileBuilder(version).build(table);
}

void writeJetFile(const QString& path, JetVersion version, const JetTable& table) {
  const QByteArray bytes = jetFileBytes(version, table);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    throw std::runtime_error("cannot write " + path.toStdString());
}

double jetDays(int year, int month, int day, int hour, int minute, int second) {
  const double days = double(QDate(1899, 12, 30).daysTo(QDate(year, month, day)));
  const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  return days < 0 ? days - time : days + time;
}

}  // namespace sorvane::testsupport
