#pragma once

#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

#include "platform/Services.h"

namespace sorvane::platform {
class Printer;
}
namespace sorvane::store {
class Snapshot;
}

namespace sorvane::results {

// The printed list of every stored result: one TAB-separated line per record, one-inch
// margins at the left, the top and the bottom, a new page whenever the current one is full.
// No title, headings, page numbers or totals.
class ResultsReport {
 public:
  enum class Outcome { Printed, Empty, Failed };

  // Twips: where every line starts, where the first line of a page starts, and how far
  // above the bottom of the drawing area a page counts as full.
  static constexpr float kLeft = 1440;
  static constexpr float kTop = 1440;
  static constexpr float kBottomMargin = 1440;

  explicit ResultsReport(platform::Services& services);

  // Prints every record of phjz.mdb in the program's folder on the default printer, after
  // converting an Access file older versions left there. An empty table, a missing or
  // unreadable file, a file that cannot be converted and a printer failure each end in one
  // message; nothing is thrown for them. An empty table sends no job.
  Outcome print();

  // The line of the current record: year of 日期, 标识符, 样本数, then a blank and pH均值
  // with two decimals, joined by single TABs. A field without a value gives empty text.
  static QString recordLine(const store::Snapshot& record);
  static QString recordLine(const QVariant& date, const QVariant& identifier, const QVariant& count,
                            const QVariant& mean);

  // Prints the records from the current one to the end, paging at the limit read once
  // from the printer. A new page is started only when another line follows. Returns the
  // number of lines printed. Throws StoreError and PrinterError.
  static long printRecords(store::Snapshot& records, platform::Printer& printer);

  // The same margins and paging for any list: prints what nextLine gives until it gives
  // nothing. Used by every printout of the results windows. Throws what nextLine and the
  // printer throw.
  static long printLines(platform::Printer& printer,
                         const std::function<std::optional<QString>()>& nextLine);

 private:
  platform::Services& services_;
};

}  // namespace sorvane::results
