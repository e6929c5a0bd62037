#include "HistoryWindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "platform/Pointer.h"
#include "platform/PointerRestorer.h"
#include "platform/Printer.h"
#include "results/ResultsReport.h"
#include "store/FieldText.h"
#include "store/PhbFields.h"
#include "widgets/Handler.h"

namespace sorvane::results {

namespace phb = store::phb;
using store::HistoryAction;
using store::HistoryEntry;

namespace {

constexpr int kFixedColumns = 3;  // when, who, what; the four fields follow

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

QString HistoryWindow::actionText(HistoryAction action) {
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

QString HistoryWindow::cellText(const HistoryEntry& entry, int field, bool* changed) {
  const bool differs =
      entry.before && entry.after && (*entry.before)[field] != (*entry.after)[field];
  if (changed) *changed = differs;
  if (differs)
    return valueText((*entry.before)[field]) + QStringLiteral(" → ") +
           valueText((*entry.after)[field]);
  const auto& values = entry.after ? entry.after : entry.before;
  return values ? store::fieldtext::textFromValue((*values)[field]) : QString();
}

HistoryWindow::HistoryWindow(platform::Services& services, const QString& record,
                             std::vector<HistoryEntry> entries, QWidget* parent)
    : QDialog(parent), services_(services), record_(record), entries_(std::move(entries)) {
  setWindowTitle(QStringLiteral(" 修改历史"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(820, 300);

  heading = new QLabel(this);
  heading->setWordWrap(true);
  heading->setText(entries_.empty()
                       ? QStringLiteral("%1 没有修改历史：它保存于本程序开始记录修改历史之前，"
                                        "此后没有改动过。")
                             .arg(record_)
                       : QStringLiteral("%1 的修改历史，最早的在前；改动的值以“修改前 → 修改后”"
                                        "显示并突出标出。")
                             .arg(record_));

  QStringList columns{QStringLiteral("时间"), QStringLiteral("用户"), QStringLiteral("操作")};
  columns += phb::fieldNames();
  list =
      new QTableWidget(static_cast<int>(entries_.size()), static_cast<int>(columns.size()), this);
  list->setHorizontalHeaderLabels(columns);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->verticalHeader()->setVisible(false);
  list->setAccessibleName(QStringLiteral("修改历史列表"));
  heading->setBuddy(list);
  for (int row = 0; row < list->rowCount(); ++row) {
    const HistoryEntry& entry = entries_[row];
    const QStringList fixed{timeText(entry.changedAt), entry.changedBy, actionText(entry.action)};
    for (int column = 0; column < kFixedColumns; ++column)
      list->setItem(row, column, new QTableWidgetItem(fixed[column]));
    for (int field = 0; field < phb::kFieldCount; ++field) {
      bool changed = false;
      auto* item = new QTableWidgetItem(cellText(entry, field, &changed));
      if (changed) {
        item->setBackground(kChanged);
        item->setForeground(Qt::black);
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        const QString said =
            QStringLiteral("已修改：由 %1 改为 %2")
                .arg(valueText((*entry.before)[field]), valueText((*entry.after)[field]));
        item->setToolTip(said);
        item->setData(Qt::AccessibleTextRole, said);
      }
      list->setItem(row, kFixedColumns + field, item);
    }
  }
  list->resizeColumnsToContents();
  list->horizontalHeader()->setStretchLastSection(true);

  cmdPrint = new QPushButton(QStringLiteral("打印(&P)"), this);
  cmdPrint->setAccessibleName(QStringLiteral("打印修改历史"));
  cmdPrint->setEnabled(!entries_.empty());
  cmdClose = new QPushButton(QStringLiteral("关闭(&C)"), this);
  cmdClose->setAccessibleName(QStringLiteral("关闭修改历史"));
  cmdClose->setDefault(true);
  widgets::connectClick(services_, cmdPrint, this, &HistoryWindow::cmdPrint_Click);
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdPrint);
  buttons->addWidget(cmdClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(list, 1);
  layout->addLayout(buttons);
}

QStringList HistoryWindow::printedLines() const {
  QStringList lines{heading->text()};
  QStringList columns;
  for (int column = 0; column < list->columnCount(); ++column)
    columns << list->horizontalHeaderItem(column)->text();
  lines << columns.join(u'\t');
  for (int row = 0; row < list->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < list->columnCount(); ++column)
      cells << list->item(row, column)->text();
    lines << cells.join(u'\t');
  }
  return lines;
}

void HistoryWindow::cmdPrint_Click() {
  std::optional<platform::PointerRestorer> restore;
  if (services_.pointer) {
    restore.emplace(*services_.pointer, *this);
    services_.pointer->setWindowPointer(*this, platform::PointerShape::Hourglass);
    QCoreApplication::processEvents();
  }
  try {
    if (!services_.printers)
      throw platform::PrinterError(QStringLiteral("没有找到默认打印机，修改历史未打印。"));
    std::unique_ptr<platform::Printer> printer = services_.printers->openDefault();
    const QStringList lines = printedLines();
    qsizetype next = 0;
    ResultsReport::printLines(*printer, [&]() -> std::optional<QString> {
      if (next >= lines.size()) return std::nullopt;
      return lines[next++];
    });
    printer->endDoc();
  } catch (const platform::PrinterError& error) {
    services_.messageBox->show(error.message());
  }
}

}  // namespace sorvane::results
