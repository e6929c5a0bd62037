#include "store/StoreFailures.h"

#include "store/PhbFields.h"

namespace sorvane::store {

namespace failures {

using Kind = StoreError::Kind;

StoreError fileMissing(const QString& path) {
  return {Kind::FileMissing, legacy::kFileNotFound, QStringLiteral("找不到文件“%1”。").arg(path)};
}

StoreError fileUnreadable(const QString& path) {
  return {Kind::Io, legacy::kCannotOpen,
          QStringLiteral("不能打开文件“%1”：没有读取权限。").arg(path)};
}

StoreError notADatabase(const QString& path) {
  return {Kind::NotADatabase, legacy::kUnrecognizedFormat,
          QStringLiteral("不可识别的数据库格式“%1”：它不是结果数据库，或者已经损坏。").arg(path)};
}

StoreError jetDatabase(const QString& path) {
  return {Kind::JetDatabase, legacy::kUnrecognizedFormat,
          QStringLiteral("“%1”是旧式的 Access (Jet) 数据库，本程序不能读取；"
                         "请换用本程序附带的结果数据库。")
              .arg(path)};
}

StoreError tableMissing() {
  return {Kind::TableMissing, legacy::kTableNotFound, QStringLiteral("数据库中找不到表“phb”。")};
}

StoreError fieldMissing(const QString& field) {
  return {Kind::FieldMissing, legacy::kItemNotFound,
          QStringLiteral("表“phb”中找不到字段“%1”。").arg(field)};
}

StoreError unknownField(const QString& name) {
  return {Kind::FieldMissing, legacy::kItemNotFound,
          QStringLiteral("在此集合中找不到项目“%1”。").arg(name)};
}

StoreError readOnly(const QString& path) {
  return {Kind::ReadOnly, legacy::kReadOnly,
          QStringLiteral("不能保存：数据库“%1”是只读的，或者它所在的文件夹不能写入。").arg(path)};
}

StoreError locked(const QString& path) {
  return {Kind::Locked, legacy::kLocked,
          QStringLiteral("数据库“%1”正被其他程序使用，请稍后再试。").arg(path)};
}

StoreError textTooLong(const QString& field, int limit) {
  return {Kind::RefusedValue, legacy::kFieldTooSmall,
          QStringLiteral("字段“%1”太小，最多只能容纳 %2 个字符。").arg(field).arg(limit)};
}

StoreError conversion(const QString& field, const QString& text) {
  return {Kind::RefusedValue, legacy::kConversion,
          QStringLiteral("数据类型转换错误：字段“%1”不能接受“%2”。").arg(field, text)};
}

StoreError constraint(const QString& detail) {
  return {Kind::RefusedValue, legacy::kConversion,
          QStringLiteral("数据类型转换错误：表“phb”不接受这个值（%1）。").arg(detail)};
}

StoreError noCurrentRecord() {
  return {Kind::NoCurrentRecord, legacy::kNoCurrentRecord, QStringLiteral("没有当前记录。")};
}

StoreError recordDeleted() {
  return {Kind::NoCurrentRecord, legacy::kRecordDeleted, QStringLiteral("记录已被删除。")};
}

StoreError invalidBookmark() {
  return {Kind::NoCurrentRecord, legacy::kInvalidBookmark, QStringLiteral("书签无效。")};
}

StoreError notOpen() {
  return {Kind::NotOpen, legacy::kObjectClosed, QStringLiteral("结果数据库没有打开。")};
}

StoreError notEditing() {
  return {Kind::NotEditing, legacy::kUpdateWithoutEdit,
          QStringLiteral("没有先添加或编辑记录就进行了更新。")};
}

StoreError diskFull(const QString& path) {
  return {Kind::Io, legacy::kDiskFull,
          QStringLiteral("磁盘已满：记录没有保存到“%1”，已保存的记录不受影响。").arg(path)};
}

StoreError ioError(const QString& path) {
  return {Kind::Io, legacy::kDiskOrNetwork,
          QStringLiteral("读写数据库“%1”时出现磁盘或网络错误；没有保存的改动仍未保存。").arg(path)};
}

// A save or delete refused because the stored record is no longer what was read; nothing
// was written, and re-reading shows what is stored now.
namespace {

// "（“alice”于 2024-05-06 14:03）": local time to the minute.
QString byWhom(const std::optional<LastChange>& who) {
  if (!who) return {};
  return QStringLiteral("（“%1”于 %2）")
      .arg(who->login, who->at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

}  // namespace

StoreError changedElsewhere(const std::optional<LastChange>& who) {
  return {Kind::Conflict, legacy::kDataChanged,
          QStringLiteral("另一个程序%1已经改动了这条记录，这次没有写入任何内容。"
                         "按“刷新(R)”可以看到已保存的内容。")
              .arg(byWhom(who))};
}

StoreError deletedElsewhere(const std::optional<LastChange>& who) {
  return {Kind::Conflict, legacy::kRecordDeleted,
          QStringLiteral("另一个程序%1已经删除了这条记录，这次没有写入任何内容。"
                         "按“刷新(R)”可以看到已保存的内容。")
              .arg(byWhom(who))};
}

StoreError writeNotConfirmed(const QString& path) {
  return {Kind::Io, legacy::kDiskOrNetwork,
          QStringLiteral("数据库“%1”没有确认这次写入，记录没有保存。").arg(path)};
}

StoreError badSettings(const QString& file, const QString& problem) {
  return {Kind::Unreachable, legacy::kCannotOpen,
          QStringLiteral("设置文件“%1”有误：%2。结果没有打开，也没有写入任何内容。")
              .arg(file, problem)};
}

StoreError serverUnreachable(const QString& server, const QString& why) {
  return {Kind::Unreachable, legacy::kDiskOrNetwork,
          QStringLiteral("不能连接结果服务器“%1”：%2。").arg(server, why)};
}

StoreError connectionLost(const QString& server) {
  return {Kind::Unreachable, legacy::kDiskOrNetwork,
          QStringLiteral("与结果服务器“%1”的连接中断，这次没有保存；没有保存的改动仍在。"
                         "服务器恢复后再按“保存”即可。")
              .arg(server)};
}

// Never "saved" without knowing: the user is sent to what the server holds.
StoreError outcomeUnknown(const QString& server) {
  return {Kind::OutcomeUnknown, legacy::kDiskOrNetwork,
          QStringLiteral("保存时与结果服务器“%1”的连接中断，Sorvane 无法确定这次是否已经保存。"
                         "按“刷新(R)”可以看到服务器上已保存的内容。")
              .arg(server)};
}

StoreError serverNotInstalled(const QString& server) {
  return {Kind::TableMissing, legacy::kTableNotFound,
          QStringLiteral("结果服务器“%1”的数据库中没有 Sorvane 的结果表；"
                         "请管理员先用 psql 运行 sorvane-server.sql。")
              .arg(server)};
}

StoreError unknownServerFormat(const QString& server, int version) {
  return {Kind::NotADatabase, legacy::kUnrecognizedFormat,
          QStringLiteral("结果服务器“%1”上的结果表是格式 %2，本程序不认识这个格式，没有打开。")
              .arg(server)
              .arg(version)};
}

StoreError noAccess(const QString& login, const QString& server) {
  return {Kind::NoAccess, legacy::kCannotOpen,
          QStringLiteral("登录名“%1”没有使用结果服务器“%2”上结果的权限；"
                         "请管理员授予它 sorvane_technician 或 sorvane_auditor 角色。")
              .arg(login, server)};
}

StoreError serverReadOnly(const QString& login, const QString& server) {
  return {Kind::ReadOnly, legacy::kReadOnly,
          QStringLiteral("不能保存：登录名“%1”在结果服务器“%2”上只能查看结果，不能改动。")
              .arg(login, server)};
}

StoreError notConverted(const QString& message, int number) {
  return {Kind::NotConverted, number, message};
}

StoreError conversionRefusedValue(const QString& path, qint64 record,
                                  const std::optional<QString>& identifier, const QString& detail) {
  const QString which =
      identifier ? QStringLiteral("第 %1 条记录（标识符“%2”）").arg(record).arg(*identifier)
                 : QStringLiteral("第 %1 条记录（没有标识符）").arg(record);
  // The table's check names its field in SQLite's words; the message names it in ours.
  QString what = QStringLiteral("表“phb”不接受其中的值");
  for (const QString& field : phb::fieldNames())
    if (detail.contains(field)) {
      what = QStringLiteral("表“phb”不接受字段“%1”的值").arg(field);
      break;
    }
  return {Kind::NotConverted, legacy::kConversion,
          QStringLiteral("“%1”中%2不能原样转换：%3。没有转换任何记录，文件没有改动。")
              .arg(path, which, what)};
}

StoreError conversionCannotWrite(const QString& path, const QString& folder, const QString& why) {
  return {Kind::NotConverted, legacy::kDiskOrNetwork,
          QStringLiteral("旧版结果数据库“%1”没有转换：不能在文件夹“%2”中写入新文件（%3）。"
                         "文件没有改动。")
              .arg(path, folder, why)};
}

StoreError conversionTargetExists(const QString& path) {
  return {Kind::NotConverted, legacy::kCannotOpen,
          QStringLiteral("“%1”已经存在；为了不覆盖它，没有转换。").arg(path)};
}

StoreError notAJetFile(const QString& path) {
  return {Kind::NotConverted, legacy::kUnrecognizedFormat,
          QStringLiteral("“%1”不是 Access (Jet) 数据库，无须转换。文件没有改动。").arg(path)};
}

namespace {

const QString kNothingMoved = QStringLiteral("没有转移任何记录，服务器没有改动。");

}  // namespace

StoreError moveRefusedRecord(const QString& path, qint64 position,
                             const std::optional<QString>& identifier, const QString& why) {
  // A NUL would end the message where a terminal shows it.
  const QString which =
      identifier ? QStringLiteral("第 %1 条记录（标识符“%2”）")
                       .arg(position)
                       .arg(QString(*identifier).replace(QChar(0), QStringLiteral("\\0")))
                 : QStringLiteral("第 %1 条记录（没有标识符）").arg(position);
  return {Kind::NotConverted, legacy::kConversion,
          QStringLiteral("“%1”中%2不能原样转移到结果服务器：%3。").arg(path, which, why) +
              kNothingMoved};
}

StoreError moveRefusedHistory(const QString& path, qint64 id, const QString& why) {
  return {Kind::NotConverted, legacy::kConversion,
          QStringLiteral("“%1”中编号为 %2 的历史记录不能原样转移到结果服务器：%3。")
                  .arg(path)
                  .arg(id)
                  .arg(why) +
              kNothingMoved};
}

StoreError moveNewerFormat(const QString& path, int format) {
  return {
      Kind::NotADatabase, legacy::kUnrecognizedFormat,
      QStringLiteral("“%1”是格式 %2 的结果数据库，本程序不认识这个格式。").arg(path).arg(format) +
          kNothingMoved};
}

StoreError moveServerNotEmpty(const QString& server) {
  return {Kind::NotConverted, legacy::kCannotOpen,
          QStringLiteral("结果服务器“%1”上已经有记录或历史记录；为了不把两份结果混在一起，"
                         "只能转移到空的结果表。")
                  .arg(server) +
              kNothingMoved};
}

StoreError moveNotOwner(const QString& login, const QString& server) {
  return {Kind::NoAccess, legacy::kCannotOpen,
          QStringLiteral("登录名“%1”不是结果服务器“%2”上结果表的所有者，不能转移结果；"
                         "请用授予了 sorvane_owner 角色的管理员登录名运行。")
                  .arg(login, server) +
              kNothingMoved};
}

}  // namespace failures
}  // namespace sorvane::store
