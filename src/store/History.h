#pragma once

// The change history of table phb, kept in table phb_history of the same file: one row for
// every record added, changed, deleted or converted, written in the transaction of the
// change itself, and never changed or removed afterwards.

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

#include "store/PhbFields.h"
#include "store/RecordSet.h"

namespace sorvane::store {

enum class HistoryAction { Added, Changed, Deleted, Converted };

// A record's four values in field order, each as RecordSet::field gives it.
using RecordValues = std::array<QVariant, phb::kFieldCount>;

// One row of the history.
struct HistoryEntry {
  Bookmark recordId = 0;
  HistoryAction action = HistoryAction::Added;
  QString changedAt;                   // local time with its UTC offset, ISO 8601
  QString changedBy;                   // the login name of the user the program runs as
  std::optional<RecordValues> before;  // none for an addition or a conversion
  std::optional<RecordValues> after;   // none for a deletion
};

// 2024-05-06T14:03:12+08:00: local time to the second with its UTC offset always written
// out, "+00:00" included, as changedAt holds it.
QString isoWithOffset(const QDateTime& when);
// The instant such a text (or another ISO 8601 text with its offset) names, in UTC; none for
// a text without an offset, whose instant is unknown.
std::optional<QDateTime> instantFromIso(const QString& text);

// The text phb_history keeps for an action, and back; no value for an unknown text.
QString actionCode(HistoryAction action);
std::optional<HistoryAction> actionFromCode(const QString& code);

}  // namespace sorvane::store
