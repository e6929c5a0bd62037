// Test support: writes a phjz.mdb as the old program left it, for trying a conversion by
// hand or in a script.
//   sorvane_write_old_results OUT.mdb COUNT [jet3|jet4]
// Records carry Chinese identifiers, dates from 1900 to 2060, some nulls, and a few rows
// Jet moved when they were edited.
#include <QCoreApplication>
#include <cstdio>

#include "support/JetWriter.h"

using namespace sorvane::testsupport;

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 3) {
    std::fputs("usage: sorvane_write_old_results OUT.mdb COUNT [jet3|jet4]\n", stderr);
    return 2;
  }
  const int count = args[2].toInt();
  const JetVersion version =
      args.size() > 3 && args[3] == QStringLiteral("jet4") ? JetVersion::Jet4 : JetVersion::Jet3;
  JetTable table{QStringLiteral("phb"),
                 {{QStringLiteral("日期"), JetType::DateTime},
                  {QStringLiteral("标识符"), JetType::Text, 12},
                  {QStringLiteral("样本数"), JetType::Integer},
                  {QStringLiteral("pH均值"), JetType::Double}},
                 {},
                 {}};
  const QStringList places{QStringLiteral("东湖"), QStringLiteral("西河"), QStringLiteral("南渠"),
                           QStringLiteral("北井")};
  for (int i = 0; i < count; ++i) {
    table.rows.push_back({jetDays(1900 + i % 161, 1 + i % 12, 1 + i % 28),
                          QStringLiteral("%1-%2").arg(places[i % 4]).arg(i + 1),
                          std::int64_t(1 + i % 30), 4.0 + (i % 700) / 100.0});
    if (i % 97 == 50) table.rows.back()[size_t(1 + i % 3)] = std::monostate{};
  }
  for (int i = 7; i < count; i += 1000) table.movedRows.push_back(size_t(i));
  writeJetFile(args[1], version, table);
  std::printf("wrote %d records to %s\n", count, qPrintable(args[1]));
  return 0;
}
