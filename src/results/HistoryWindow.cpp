#include "HistoryWindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/MessageBox.h"
#include "platform/Pointer.h"
#include "platform/PointerRestorer.h"
#include "platform/Printer.h"
#include "results/HistoryModel.h"
#include "results/ResultsReport.h"
#include "widgets/Handler.h"

namespace sorvane::results {

HistoryWindow::HistoryWindow(platform::Services& services, const QString& record,
                             std::vector<store::HistoryEntry> entries, QWidget* parent)
    : QDialog(parent), services_(services) {
  setWindowTitle(QStringLiteral(" 修改历史"));
  setAttribute(Qt::WA_DeleteOnClose);
  resize(820, 300);
  const bool empty = entries.empty();

  heading = new QLabel(this);
  heading->setWordWrap(true);
  heading->setText(empty ? QStringLiteral("%1 没有修改历史：它保存于本程序开始记录修改历史之前，"
                                          "此后没有改动过。")
                               .arg(record)
                         : QStringLiteral("%1 的修改历史，最早的在前；改动的值以“修改前 → 修改后”"
                                          "显示并突出标出。")
                               .arg(record));

  rows = new HistoryModel(std::move(entries), this);
  list = new QTableView(this);
  list->setModel(rows);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->verticalHeader()->setVisible(false);
  list->setAccessibleName(QStringLiteral("修改历史列表"));
  list->resizeColumnsToContents();
  list->horizontalHeader()->setStretchLastSection(true);
  heading->setBuddy(list);

  printButton = new QPushButton(QStringLiteral("打印(&P)"), this);
  printButton->setAccessibleName(QStringLiteral("打印修改历史"));
  printButton->setEnabled(!empty);
  closeButton = new QPushButton(QStringLiteral("关闭(&C)"), this);
  closeButton->setAccessibleName(QStringLiteral("关闭修改历史"));
  closeButton->setDefault(true);
  widgets::connectClick(services_, printButton, this, &HistoryWindow::print);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::close);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(printButton);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(list, 1);
  layout->addLayout(buttons);
}

QStringList HistoryWindow::printedLines() const {
  return QStringList{heading->text()} + rows->lines();
}

void HistoryWindow::print() {
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
