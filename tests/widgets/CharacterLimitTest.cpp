// A box's character limit counts code points, and what does not fit is dropped from the end
// of what was put in, never half a surrogate pair.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <ostream>
#include <string>

#include "widgets/CharacterLimit.h"

namespace sorvane::widgets {
namespace {

// Characters beyond 16 bits, two UTF-16 units each.
QString astral(const char32_t* text) { return QString::fromUcs4(text); }

struct Edit {
  const char* name;
  QString start;
  int selectFrom, selectLength;  // where the insertion goes; -1: the text is set instead
  QString put;
  QString expected;
  friend void PrintTo(const Edit& c, std::ostream* os) { *os << c.name; }
};

class CharacterLimitTest : public testing::TestWithParam<Edit> {};

TEST_P(CharacterLimitTest, KeepsFourCharacters) {
  const Edit& c = GetParam();
  QLineEdit box;
  limitCharacters(box, 4);
  box.setText(c.start);
  if (c.selectFrom < 0) {
    box.setText(c.put);
  } else {
    box.setSelection(c.selectFrom, c.selectLength);
    box.insert(c.put);  // as typing or pasting puts it in
  }
  EXPECT_EQ(box.text().toStdU32String(), c.expected.toStdU32String());
}

INSTANTIATE_TEST_SUITE_P(
    Edits, CharacterLimitTest,
    testing::Values(Edit{"SetTextKeepsItsFirstCharacters", "", -1, 0, astral(U"𠀀𠀁𠀂𠀃𠀄"),
                         astral(U"𠀀𠀁𠀂𠀃")},
                    Edit{"FullBoxTakesNothingMore", astral(U"AB𠀀D"), 2, 0, "x", astral(U"AB𠀀D")},
                    Edit{"InsertedInTheMiddleKeepsWhatFollows", "AB", 1, 0, astral(U"𠀀𠀁𠀂"),
                         astral(U"A𠀀𠀁B")},
                    Edit{"ReplacedSelection", "ABCD", 1, 2, astral(U"𠀀𠀁𠀂"), astral(U"A𠀀𠀁D")}),
    [](const testing::TestParamInfo<Edit>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sorvane::widgets
