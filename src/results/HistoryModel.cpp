#include "results/HistoryModel.h"

#include <QColor>
#include <QFont>

#include "store/FieldText.h"
#include "store/PhbFields.h"

namespace sorvane::results {

namespace phb = store::phb;
using store::HistoryAction;
using store::HistoryEntry;

namespace {

// A changed value stands out by colour and weight, so it shows in grey scale too.
const QColor kChanged(255, 226, 140);

QString valueText(const QVariant& value) {
  const QString text = store::fieldtext::textFromValue(value);
  return text.isEmpty() ? QStringLiteral("（空）") : text;
}

// 2024-05-06T14:03:12+08:00 read as 2024-05-06 14:03:12 +08:00.
QString timeText(const QString& iso) {
  if (iso.size() < 20 || iso[10] != u'T') return iso;
  return iso.left(10) + u' ' + iso.mid(11, 8) + u' ' + iso.mid(19);
}

}  // namespace

HistoryModel::HistoryModel(std::vector<HistoryEntry> entries, QObject* parent)
    : QAbstractTableModel(parent), entries_(std::move(entries)) {}

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kFixedColumns + phb::kFieldCount;
}

QString HistoryModel::actionText(HistoryAction action) {
  switch (action) {
    case HistoryAction::Added:
      return QStringLiteral("添加");
    case HistoryAction::Changed:
      return QStringLiteral("修改");
    case HistoryAction::Deleted:
      return QStringLiteral("删除");
    case HistoryAction::Converted:
      return QStringLiteral("从旧数据库转换");
  }
  return {};
}

QString HistoryModel::cellText(const HistoryEntry& entry, int field, bool* changed) {
  const bool differs =
      entry.before && entry.after && (*entry.before)[field] != (*entry.after)[field];
  if (changed) *changed = differs;
  if (differs)
    return valueText((*entry.before)[field]) + QStringLiteral(" → ") +
           valueText((*entry.after)[field]);
  const auto& values = entry.after ? entry.after : entry.before;
  return values ? store::fieldtext::textFromValue((*values)[field]) : QString();
}

QString HistoryModel::text(int row, int column) const {
  const HistoryEntry& entry = entries_[row];
  switch (column) {
    case 0:
      return timeText(entry.changedAt);
    case 1:
      return entry.changedBy;
    case 2:
      return actionText(entry.action);
    default:
      return cellText(entry, column - kFixedColumns);
  }
}

bool HistoryModel::changed(int row, int column) const {
  bool differs = false;
  if (column >= kFixedColumns) cellText(entries_[row], column - kFixedColumns, &differs);
  return differs;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row();
  const int column = index.column();
  if (role == Qt::DisplayRole) return text(row, column);
  if (!changed(row, column)) return {};
  switch (role) {
    case Qt::BackgroundRole:
      return kChanged;
    case Qt::ForegroundRole:
      return QColor(Qt::black);
    case Qt::FontRole: {
      QFont bold;
      bold.setBold(true);
      return bold;
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: {
      const HistoryEntry& entry = entries_[row];
      const int field = column - kFixedColumns;
      return QStringLiteral("已修改：由 %1 改为 %2")
          .arg(valueText((*entry.before)[field]), valueText((*entry.after)[field]));
    }
    default:
      return {};
  }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const QStringList fixed{QStringLiteral("时间"), QStringLiteral("用户"),
                                 QStringLiteral("操作")};
  return section < kFixedColumns ? fixed[section] : phb::fieldNames()[section - kFixedColumns];
}

QStringList HistoryModel::lines() const {
  QStringList lines;
  QStringList columns;
  for (int column = 0; column < columnCount(); ++column)
    columns << headerData(column, Qt::Horizontal).toString();
  lines << columns.join(u'\t');
  for (int row = 0; row < rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < columnCount(); ++column) cells << text(row, column);
    lines << cells.join(u'\t');
  }
  return lines;
}

}  // namespace sorvane::results
