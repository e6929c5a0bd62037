// Qt's own texts, such as a text box's edit menu, speak Chinese like the rest of the program.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <memory>

namespace sorvane::platform {
namespace {

TEST(QtTranslationTest, TextBoxEditMenuIsChinese) {
  QLineEdit box(QStringLiteral("7.26"));
  const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
  QStringList texts;
  for (const QAction* action : menu->actions())
    if (!action->isSeparator()) texts << action->text().section(u'\t', 0, 0);  // no shortcut
  EXPECT_TRUE(texts.contains(QStringLiteral("复制(&C)"))) << texts.join('|').toStdString();
  EXPECT_FALSE(texts.contains(QStringLiteral("&Copy")));
}

}  // namespace
}  // namespace sorvane::platform
