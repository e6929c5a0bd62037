#include "store/History.h"

#include <QLocale>
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

}  // namespace sorvane::store
