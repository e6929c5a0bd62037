// What the results window writes: only the boxes changed since the record was shown, so a
// stored value that a box shows in its own form stays as it is; and an identifier of twelve
// characters from any plane is kept whole and stored as shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>
#include <functional>

#include "ResultsProgram.h"
#include "store/PhbFields.h"
#include "store/StoreTestFiles.h"
#include "store/postgres/TestServer.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::results {
namespace {

namespace phb = store::phb;
namespace testfiles = store::testfiles;
using store::SqliteConnection;
using store::testserver::Backend;

// The one record's fields as SQL literals, exactly as stored: the server's written as
// SQLite's quote() writes them, so one table of cases serves both.
std::vector<std::string> storedLiterals(const store::testserver::TestStore& store) {
  std::vector<std::string> literals;
  if (store.server()) {
    const store::PgResult row = store.server()->admin().exec(
        "SELECT quote_nullable(日期::text), quote_nullable(标识符),"
        " CASE WHEN 样本数 = trunc(样本数) THEN 样本数::text || '.0' ELSE 样本数::text END,"
        " CASE WHEN pH均值 = trunc(pH均值) THEN pH均值::text || '.0' ELSE pH均值::text END"
        " FROM sorvane.phb");
    for (int i = 0; row.rows() && i < phb::kFieldCount; ++i)
      literals.push_back(row.value(0, i).toString().toStdString());
    return literals;
  }
  SqliteConnection db(store.source().path, SqliteConnection::Access::ReadOnly);
  store::SqliteStatement row(
      db, "SELECT quote(日期), quote(标识符), quote(样本数), quote(pH均值) FROM phb");
  if (row.step())
    for (int i = 0; i < phb::kFieldCount; ++i) literals.push_back(row.columnText(i).toStdString());
  return literals;
}

struct ChangedBox {
  const char* name;
  const char* stored;  // the record another tool stored, as SQL values
  int box;
  std::function<QString(const QString& shown)> edit;
  const char* written;  // the edited field afterwards, as an SQL literal; the others stay
  // A box edited for a save that was refused, then put back to what it showed; -1: none.
  int putBack = -1;
  friend void PrintTo(const ChangedBox& c, std::ostream* os) { *os << c.name; }
};

class SavingWhatChangedTest : public testing::TestWithParam<std::tuple<Backend, ChangedBox>> {};

TEST_P(SavingWhatChangedTest, OnlyTheChangedBoxIsWritten) {
  const auto& [backend, c] = GetParam();
  if (backend == Backend::Server) SKIP_WITHOUT_SERVER();
  const auto restore = qScopeGuard([saved = QLocale()] { QLocale::setDefault(saved); });
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));  // short date M/d/yy
  store::testserver::TestStore db(backend);
  if (db.server()) {
    db.server()->admin().exec(("INSERT INTO sorvane.phb (日期, 标识符, 样本数, pH均值) VALUES (" +
                               std::string(c.stored) + ")")
                                  .c_str());
  } else {  // a table as another tool may make it, without the build's checks
    SqliteConnection file(db.source().path, SqliteConnection::Access::ReadWrite);
    file.exec(
        "DROP TABLE phb; DROP TABLE phb_last_id;"
        "CREATE TABLE phb (日期 TEXT, 标识符 TEXT, 样本数 REAL, pH均值 REAL)");
    file.exec(("INSERT INTO phb VALUES (" + std::string(c.stored) + ")").c_str());
  }
  ResultsProgram program(db.programFolder());
  frmPHZ& window = *program.window;
  std::vector<std::string> expected = storedLiterals(db);
  expected.at(c.box) = c.written;
  QLineEdit* box = window.txtFields[c.box];
  if (c.putBack >= 0) {
    QLineEdit* back = window.txtFields[c.putBack];
    const QString shown = back->text();
    back->setText(QStringLiteral("1/1/00"));
    box->setText(QStringLiteral("五"));
    window.cmdUpdate->click();  // refused: not a number
    back->setText(shown);
    program.messages().clear();
  }
  box->setText(c.edit(box->text()));
  window.cmdUpdate->click();
  EXPECT_TRUE(program.messages().isEmpty()) << program.messages().join('\n').toStdString();
  EXPECT_EQ(storedLiterals(db), expected);
}

// An edit that types `text` over the box.
std::function<QString(const QString&)> typed(const char* text) {
  return [text](const QString&) { return QString::fromUtf8(text); };
}

const ChangedBox kChangedBoxes[] = {
    ChangedBox{"LastCenturysDateShownWithTwoDigitYears", "'1999-12-31', '甲', 5.0, 7.2",
               phb::Identifier, typed("新"), "'新'"},
    ChangedBox{"MeanOfMoreDigitsThanShown", "'2024-05-01', '甲', 5.0, 7.1234567890123456",
               phb::Identifier, typed("新"), "'新'"},
    ChangedBox{"IdentifierLongerThanTheBox",
               "'2024-05-01', '十五个字的标识符超出了限制长度', 5.0, 7.2", phb::Mean, typed("6.5"),
               "6.5"},
    // Edited, an old date keeps its century: it is shown with its year in full.
    ChangedBox{"LastCenturysDateEdited", "'1999-12-31', '甲', 5.0, 7.2", phb::Date,
               [](const QString& shown) { return QString(shown).replace("31", "30"); },
               "'1999-12-30'"},
    ChangedBox{"BoxPutBackAfterARefusedSave", "'1999-12-31', '甲', 5.0, 7.2", phb::SampleCount,
               typed("6"), "6.0", phb::Date}};

// An identifier over twelve characters is the file's own case: the server refuses one.
std::vector<ChangedBox> serverBoxes() {
  std::vector<ChangedBox> cases;
  for (const ChangedBox& c : kChangedBoxes)
    if (std::string(c.name) != "IdentifierLongerThanTheBox") cases.push_back(c);
  return cases;
}

std::string boxName(const testing::TestParamInfo<SavingWhatChangedTest::ParamType>& info) {
  return std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(Records, SavingWhatChangedTest,
                         testing::Combine(testing::Values(Backend::File),
                                          testing::ValuesIn(kChangedBoxes)),
                         boxName);
INSTANTIATE_TEST_SUITE_P(Server, SavingWhatChangedTest,
                         testing::Combine(testing::Values(Backend::Server),
                                          testing::ValuesIn(serverBoxes())),
                         boxName);

// Eleven CJK characters and U+20000, which takes two UTF-16 units: twelve characters.
const QString kTwelve = QStringLiteral("一二三四五六七八九十百") + QString::fromUcs4(U"\U00020000");

TEST(IdentifierLimitTest, TwelveCharactersOfAnyPlaneAreKeptWholeAndStoredAsShown) {
  for (const bool pasted : {true, false}) {
    SCOPED_TRACE(pasted ? "pasted" : "typed through an input method");
    const auto put = [pasted](QLineEdit& box, const QString& text) {
      QInputMethodEvent commit;
      commit.setCommitString(text);
      if (!pasted) return void(QApplication::sendEvent(&box, &commit));
      QApplication::clipboard()->setText(text);
      box.paste();
    };
    testfiles::TempDatabase db;
    ResultsProgram program(db.folder());
    frmPHZ& window = *program.window;
    window.cmdAdd->click();
    QLineEdit& box = *window.txtFields[phb::Identifier];
    box.setFocus();
    put(box, kTwelve.left(10));
    put(box, kTwelve.mid(10) + QStringLiteral("万"));  // one character too many
    EXPECT_EQ(box.text(), kTwelve);
    put(box, QString::fromUcs4(U"\U00020001"));  // a full box takes nothing more
    EXPECT_EQ(box.text(), kTwelve);
    window.cmdUpdate->click();
    EXPECT_EQ(testfiles::storedTexts(db.path(), phb::fieldNames()[phb::Identifier]),
              QStringList{kTwelve});
  }
}

}  // namespace
}  // namespace sorvane::results
