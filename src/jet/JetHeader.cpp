// The header page: what a file is, from its first bytes and its size alone, before libmdb
// sees it; and the messages for a file that cannot be read.

#include <QFileInfo>
#include <cmath>

#include <glib.h>  // before mdbtools.h, which would include it inside extern "C"
#include <mdbtools.h>

#include "jet/JetFormat.h"

namespace sorvane::jet {

JetReadError::JetReadError(Kind kind, const QString& message, qint64 record)
    : std::runtime_error(message.toStdString()), kind_(kind), message_(message), record_(record) {}

using Kind = JetReadError::Kind;

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

namespace {

constexpr char kJetName[] = "Standard Jet DB";
constexpr char kAceName[] = "Standard ACE DB";

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

}  // namespace

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

JetFileKind classifyJetFile(const QString& path) {
  QFile file(path);
  openForReading(file);
  return classifyBytes(file.read(kHeaderBytes), file.size());
}

}  // namespace sorvane::jet
