#include "store/History.h"

#include "store/FieldText.h"

#include <QLocale>
#include <QRegularExpression>
#include <cstdlib>

namespace sorvane::store {

QString isoWithOffset(const QDateTime& when) {
  const int offset = when.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
         (offset < 0 ? u'-' : u'+') +
         QStringLiteral("%1:%2")
             .arg(minutes / 60, 2, 10, QChar(u'0'))
             .arg(minutes % 60, 2, 10, QChar(u'0'));
}

QString actionCode(HistoryAction action) {
  switch (action) {
    case HistoryAction::Added:
      return QStringLiteral("added");
    case HistoryAction::Changed:
      return QStringLiteral("changed");
    case HistoryAction::Deleted:
      return QStringLiteral("deleted");
    case HistoryAction::Converted:
      return QStringLiteral("converted");
  }
  return {};
}

std::optional<HistoryAction> actionFromCode(const QString& code) {
  for (const HistoryAction action : {HistoryAction::Added, HistoryAction::Changed,
                                     HistoryAction::Deleted, HistoryAction::Converted})
    if (actionCode(action) == code) return action;
  return std::nullopt;
}

std::optional<QDateTime> instantFromIso(const QString& text) {
  // The form isoWithOffset writes, read by hand: Qt's parser costs more than the rest of a
  // history row.
  static const QRegularExpression written(
      QStringLiteral(R"(^(\d{4}-\d\d-\d\d)T(\d\d):(\d\d):(\d\d)([+-])(\d\d):(\d\d)$)"));
  if (const QRegularExpressionMatch m = written.match(text); m.hasMatch()) {
    const auto number = [&](int group) { return m.capturedView(group).toInt(); };
    const std::optional<QDate> date = fieldtext::storedDate(m.capturedView(1));
    const QTime time(number(2), number(3), number(4));
    const int offset = (m.capturedView(5) == u"-" ? -60 : 60) * (number(6) * 60 + number(7));
    if (date && time.isValid()) return QDateTime(*date, time, Qt::UTC).addSecs(-offset);
  }
  const QDateTime other = QDateTime::fromString(text, Qt::ISODateWithMs);
  if (!other.isValid() || other.timeSpec() == Qt::LocalTime) return std::nullopt;
  return other.toUTC();
}

}  // namespace sorvane::store
