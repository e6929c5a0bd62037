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

}  // namespace

JetPhbReader::JetPhbReader(const QString& path)
    : table_(path, QStringLiteral("phb"), fieldNames()) {}

bool JetPhbReader::next(PhbRecord& record) {
  if (!table_.next()) return false;
  record = PhbRecord{};
  record.position = table_.position();

  // The identifier first: the message about any field names it.
  const JetValue& id = table_.value(Identifier);
  std::optional<QString> shown;
  if (id.kind == JetValue::Kind::Text) shown = id.text;
  auto refuse = [&](const QString& why) {
    const QString which =
        shown ? QStringLiteral("第 %1 条记录（标识符“%2”）").arg(record.position).arg(*shown)
              : QStringLiteral("第 %1 条记录（没有标识符）").arg(record.position);
    return JetReadError(JetReadError::Kind::BadRecord,
                        QStringLiteral("“%1”中%2不能原样转换：%3。没有转换任何记录，文件没有改动。")
                            .arg(table_.path(), which, why),
                        record.position);
  };
  auto wrongType = [&](int field, const char* wanted) {
    return refuse(QStringLiteral("字段“%1”是%2类型，不是%3")
                      .arg(fieldNames()[field], typeName(table_.value(field).columnType),
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
      throw wrongType(Identifier, "文本");
  }

  const JetValue& date = table_.value(Date);
  if (date.kind == JetValue::Kind::DateTime) {
    // phb keeps days only; cutting the time off would change the value.
    if (date.time != QTime(0, 0))
      throw refuse(QStringLiteral("日期带有时刻 %1，而表中只能保存日期")
                       .arg(date.time.toString(QStringLiteral("HH:mm:ss"))));
    record.date = date.date;
  } else if (date.kind == JetValue::Kind::OutOfRange && date.columnType == MDB_DATETIME) {
    throw refuse(QStringLiteral("日期超出了公元 100 年至 9999 年的范围"));
  } else if (date.kind != JetValue::Kind::Null) {
    throw wrongType(Date, "日期");
  }

  for (int f : {SampleCount, Mean}) {
    const JetValue& v = table_.value(f);
    const bool numeric = v.columnType != MDB_DATETIME;
    if (v.kind == JetValue::Kind::Number && numeric) {
      (f == SampleCount ? record.sampleCount : record.mean) = v.number;
    } else if (v.kind == JetValue::Kind::Inexact) {
      throw refuse(
          QStringLiteral("字段“%1”的值有 15 位以上有效数字，不能原样保存").arg(fieldNames()[f]));
    } else if (v.kind == JetValue::Kind::OutOfRange && numeric) {
      throw refuse(QStringLiteral("字段“%1”的值不是有限的数").arg(fieldNames()[f]));
    } else if (v.kind != JetValue::Kind::Null) {
      throw wrongType(f, "数字");
    }
  }
  return true;
}

}  // namespace sorvane::jet
