// The three windows as a person meets them: every control that acts or takes input has a
// name a screen reader speaks, and at any screen scale the windows keep their design
// proportions and show their texts whole (CTest runs these at scale 1 and 2). Every top-level
// window, the modal boxes too, is announced as the kind of window it is, by its title.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "about/fAbout1.h"
#include "app/WindowModel.h"
#include "app/pH.h"
#include "fakes/FakePlatform.h"
#include "platform/QtDialogs.h"
#include "results/frmPHZ.h"
#include "store/StoreTestFiles.h"
#include "widgets/FormsButton.h"

namespace sorvane::app {
namespace {

class WindowsOnTheDesktop : public testing::Test {
 protected:
  WindowsOnTheDesktop()
      : windows((fake.services.programFolder = database.folder(), fake.services)) {
    windows.mainWindow().show();
    windows.resultsWindow().show();
    windows.aboutBox().show();
  }

  std::vector<QWidget*> all() {
    return {&windows.mainWindow(), &windows.resultsWindow(), &windows.aboutBox()};
  }

  static double scale() {
    const double s = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
    return s > 0 ? s : 1;
  }

  store::testfiles::TempDatabase database;
  fakes::FakePlatform fake;
  WindowModel windows;
};

void collectUnnamed(QAccessibleInterface* node, QStringList& unnamed) {
  if (!node) return;
  const QAccessible::Role role = node->role();
  const bool acts = role == QAccessible::PushButton || role == QAccessible::ButtonMenu ||
                    role == QAccessible::CheckBox || role == QAccessible::EditableText ||
                    node->state().editable || node->state().focusable;
  if (acts && node->text(QAccessible::Name).trimmed().isEmpty())
    unnamed.append(node->object() ? node->object()->objectName() + "/" +
                                        node->object()->metaObject()->className()
                                  : QStringLiteral("?"));
  for (int i = 0; i < node->childCount(); ++i) collectUnnamed(node->child(i), unnamed);
}

TEST_F(WindowsOnTheDesktop, EveryControlThatActsHasASpokenName) {
  for (QWidget* window : all()) {
    QStringList unnamed;
    collectUnnamed(QAccessible::queryAccessibleInterface(window), unnamed);
    EXPECT_TRUE(unnamed.isEmpty())
        << window->windowTitle().toStdString() << ": " << unnamed.join(", ").toStdString();
  }
}

// Each window at its design size times the scale, and every caption whole inside its control.
TEST_F(WindowsOnTheDesktop, WindowsScaleWholeAndShowEveryCaptionWhole) {
  const QSize pixelsAt96Dpi[] = {{404, 245}, {368, 133}, {382, 237}};
  for (std::size_t i = 0; i < all().size(); ++i) {
    QWidget* window = all()[i];
    const double ratio = window->devicePixelRatioF();
    EXPECT_DOUBLE_EQ(ratio, scale());
    EXPECT_EQ(window->size() * ratio, pixelsAt96Dpi[i] * scale())
        << window->windowTitle().toStdString();
    for (QWidget* control : window->findChildren<QWidget*>()) {
      auto* label = qobject_cast<QLabel*>(control);
      if (label && label->wordWrap()) {
        // A text that wraps keeps its box's width; all its lines must fit the height.
        EXPECT_LE(label->heightForWidth(label->width()), label->height())
            << label->text().toStdString();
        continue;
      }
      auto* button = qobject_cast<QAbstractButton*>(control);
      QString text = label ? label->text() : button ? button->text() : QString();
      text.remove(QLatin1Char('&'));
      if (text.isEmpty() || control->isHidden()) continue;
      EXPECT_LE(control->fontMetrics().horizontalAdvance(text), control->width())
          << text.toStdString();
      EXPECT_LE(control->fontMetrics().height(), control->height()) << text.toStdString();
    }
  }
}

// Each kind of top-level window: the role a screen reader announces, and the window that
// window managers are to keep it with as its dialog (none: it stands alone).
struct TopLevel {
  const char* name;
  QAccessible::Role role;
  int window;  // index into all(); -1: a modal box, opened by openModal
  void (*openModal)(WindowModel& windows);
  int owner;  // index into all(); -1: none
};

void PrintTo(const TopLevel& kind, std::ostream* out) { *out << kind.name; }

void ask(WindowModel&) {
  platform::QtInputBox().ask(QStringLiteral("请输入样本数 N= "), QStringLiteral("计算 pH 均值"),
                             QString());
}

// A message speaks for the active window.
void tell(WindowModel& windows) {
  windows.resultsWindow().activateWindow();
  if (QTest::qWaitForWindowActive(&windows.resultsWindow()))
    platform::QtMessageBox().show(QStringLiteral("请输入标识名称后按保存！"));
}

// A message that follows the showing of the main window before the window system has
// activated it: it speaks for the main window.
void tellBeforeActivation(WindowModel&) {
  QApplication::setActiveWindow(nullptr);
  platform::QtMessageBox().show(QStringLiteral("输入的 pH 值超出了可以求均值的范围。"));
}

class TopLevelWindows : public WindowsOnTheDesktop, public testing::WithParamInterface<TopLevel> {};

TEST_P(TopLevelWindows, AnnounceTheirRoleAndTitleAndKeepWithTheirOwner) {
  const TopLevel& kind = GetParam();
  QWidget* owner = kind.owner >= 0 ? all()[kind.owner] : nullptr;
  QWidget* seen = nullptr;
  const auto check = [&](QWidget* window) {
    seen = window;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), kind.role);
    EXPECT_FALSE(window->windowTitle().isEmpty());
    EXPECT_EQ(face->text(QAccessible::Name), window->windowTitle());
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->windowHandle()->transientParent(), owner ? owner->windowHandle() : nullptr);
  };
  if (kind.window >= 0) {
    check(all()[kind.window]);
  } else {
    // The box is looked at from inside its own event loop, once it is open, then closed.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        check(box);
        box->done(0);
      }
    });
    poll.start(10);
    kind.openModal(windows);
  }
  EXPECT_NE(seen, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, TopLevelWindows,
    testing::Values(TopLevel{"MainWindow", QAccessible::Window, 0, nullptr, -1},
                    TopLevel{"ResultsWindow", QAccessible::Dialog, 1, nullptr, 0},
                    TopLevel{"AboutBox", QAccessible::Dialog, 2, nullptr, 0},
                    TopLevel{"MessageBox", QAccessible::AlertMessage, -1, tell, 1},
                    TopLevel{"MessageBoxBeforeActivation", QAccessible::AlertMessage, -1,
                             tellBeforeActivation, 0},
                    // The averaging dialogs stand alone: the main window hides while they are open.
                    TopLevel{"InputBox", QAccessible::Dialog, -1, ask, -1}),
    [](const testing::TestParamInfo<TopLevel>& info) { return std::string(info.param.name); });

// The keys that press a focused command button, on one button of the main and one of the
// results window; the About box is a Qt dialog, whose buttons take Enter from Qt.
struct KeyPress {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};
void PrintTo(const KeyPress& press, std::ostream* out) { *out << press.name; }

class FocusedButtons : public WindowsOnTheDesktop,
                       public testing::WithParamInterface<std::tuple<bool, KeyPress>> {};

TEST_P(FocusedButtons, ArePressedByEnter) {
  const auto& [results, press] = GetParam();
  QAbstractButton* const buttons[] = {windows.mainWindow().Com1, windows.resultsWindow().cmdUpdate};
  QAbstractButton* pressed = buttons[results];
  // Only the press itself is watched, not what the button's handler does with it.
  QObject::disconnect(pressed, &QAbstractButton::clicked, nullptr, nullptr);
  QSignalSpy clicks(pressed, &QAbstractButton::clicked);
  pressed->window()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(pressed->window()));
  pressed->setFocus();
  ASSERT_TRUE(pressed->hasFocus());
  QTest::keyClick(pressed, press.key, press.modifiers);
  EXPECT_EQ(clicks.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, FocusedButtons,
    testing::Combine(testing::Bool(),
                     testing::Values(KeyPress{"Return", Qt::Key_Return, Qt::NoModifier},
                                     KeyPress{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier})),
    [](const testing::TestParamInfo<std::tuple<bool, KeyPress>>& info) {
      return std::string(std::get<0>(info.param) ? "Results_Update_" : "Main_Com1_") +
             std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace sorvane::app
