// Table phb's record rules: which values carry over into today's file exactly.

#include "jet/JetPhbReader.h"

#include <glib.h>  // before mdbtools.h, which would include it inside extern "C"
#include <mdbtools.h>

#include "store/PhbFields.h"

namespace sorvane::jet {

namespace {

using store::phb::fieldNames;
using store::phb::kIdentifierLimit;
using enum store::phb::Field;

// A Jet type code as Access names the type.
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

// One record's values judged against phb's rules, in the record's terms: every refusal
// names the record by its position and, when it has a readable one, its identifier.
class RecordCheck {
 public:
  explicit RecordCheck(JetTableReader& table) : table_(table), position_(table.position()) {
    const JetValue& id = table_.value(Identifier);
    if (id.kind == JetValue::Kind::Text) shown_ = id.text;
  }

  std::optional<QString> identifier() const {
    const JetValue& id = table_.value(Identifier);
    switch (id.kind) {
      case JetValue::Kind::Null:
        return std::nullopt;
      case JetValue::Kind::Text: {
        qsizetype characters = 0;  // a surrogate pair is one character
        for (QChar c : id.text) characters += c.isLowSurrogate() ? 0 : 1;
        if (characters > kIdentifierLimit)
          throw refuse(QStringLiteral("标识符有 %1 个字符，超过了 %2 个字符的上限")
                           .arg(characters)
                           .arg(kIdentifierLimit));
        return id.text;
      }
      case JetValue::Kind::BadText:
        throw refuse(QStringLiteral("标识符中有不能识别的文字编码"));
      default:
        throw wrongType(Identifier, "文本");
    }
  }

  std::optional<QDate> date() const {
    const JetValue& date = table_.value(Date);
    if (date.kind == JetValue::Kind::DateTime) {
      // phb keeps days only; cutting the time off would change the value.
      if (date.time != QTime(0, 0))
        throw refuse(QStringLiteral("日期带有时刻 %1，而表中只能保存日期")
                         .arg(date.time.toString(QStringLiteral("HH:mm:ss"))));
      return date.date;
    }
    if (date.kind == JetValue::Kind::OutOfRange && date.columnType == MDB_DATETIME)
      throw refuse(QStringLiteral("日期超出了公元 100 年至 9999 年的范围"));
    if (date.kind != JetValue::Kind::Null) throw wrongType(Date, "日期");
    return std::nullopt;
  }

  std::optional<double> number(int field) const {
    const JetValue& v = table_.value(field);
    const bool numeric = v.columnType != MDB_DATETIME;
    if (v.kind == JetValue::Kind::Number && numeric) return v.number;
    if (v.kind == JetValue::Kind::Inexact)
      throw refuse(QStringLiteral("字段“%1”的值有 15 位以上有效数字，不能原样保存")
                       .arg(fieldNames()[field]));
    if (v.kind == JetValue::Kind::OutOfRange && numeric)
      throw refuse(QStringLiteral("字段“%1”的值不是有限的数").arg(fieldNames()[field]));
    if (v.kind != JetValue::Kind::Null) throw wrongType(field, "数字");
    return std::nullopt;
  }

 private:
  JetTableReader& table_;
  qint64 position_;
  std::optional<QString> shown_;

  JetReadError refuse(const QString& why) const {
    const QString which =
        shown_ ? QStringLiteral("第 %1 条记录（标识符“%2”）").arg(position_).arg(*shown_)
               : QStringLiteral("第 %1 条记录（没有标识符）").arg(position_);
    return JetReadError(JetReadError::Kind::BadRecord,
                        QStringLiteral("“%1”中%2不能原样转换：%3。没有转换任何记录，文件没有改动。")
                            .arg(table_.path(), which, why),
                        position_);
  }

  JetReadError wrongType(int field, const char* wanted) const {
    return refuse(QStringLiteral("字段“%1”是%2类型，不是%3")
                      .arg(fieldNames()[field], typeName(table_.value(field).columnType),
                           QString::fromUtf8(wanted)));
  }
};

}  // namespace

JetPhbReader::JetPhbReader(const QString& path)
    : table_(path, QStringLiteral("phb"), fieldNames()) {}

bool JetPhbReader::next(PhbRecord& record) {
  if (!table_.next()) return false;
  const RecordCheck check(table_);
  record = PhbRecord{};
  record.position = table_.position();
  // The identifier first: a refusal of any field names it.
  record.identifier = check.identifier();
  record.date = check.date();
  record.sampleCount = check.number(SampleCount);
  record.mean = check.number(Mean);
  return true;
}

}  // namespace sorvane::jet
