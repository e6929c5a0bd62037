#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "store/History.h"

namespace sorvane::results {

// One record's history rows as a read-only table: when, who, what, then the four fields,
// a changed value as "before → after", highlighted and told to screen readers.
class HistoryModel final : public QAbstractTableModel {
 public:
  static constexpr int kFixedColumns = 3;  // when, who, what; the four fields follow

  explicit HistoryModel(std::vector<store::HistoryEntry> entries, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The column names and then one TAB-separated line per row, as shown.
  QStringList lines() const;

  // The text shown for an action, and for one field of a row (with whether it changed).
  static QString actionText(store::HistoryAction action);
  static QString cellText(const store::HistoryEntry& entry, int field, bool* changed = nullptr);

 private:
  std::vector<store::HistoryEntry> entries_;

  QString text(int row, int column) const;
  bool changed(int row, int column) const;
};

}  // namespace sorvane::results
