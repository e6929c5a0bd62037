// The three windows as a person meets them: every control that acts or takes input has a
// name a screen reader speaks, and at any screen scale the windows keep their design
// proportions and show their texts whole. CTest runs
// these once at scale 1 and once with QT_SCALE_FACTOR=2. Every top-level window, the modal
// boxes too, is announced as the kind of window it is, by its title.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <map>

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

TEST_F(WindowsOnTheDesktop, WindowsScaleWholeAndKeepTheirProportions) {
  struct Design {
    QWidget* window;
    QSize pixelsAt96Dpi;
  };
  const Design designs[] = {{&windows.mainWindow(), {404, 245}},
                            {&windows.resultsWindow(), {368, 133}},
                            {&windows.aboutBox(), {382, 237}}};
  for (const Design& d : designs) {
    const double ratio = d.window->devicePixelRatioF();
    EXPECT_DOUBLE_EQ(ratio, scale());
    EXPECT_EQ(d.window->size() * ratio, d.pixelsAt96Dpi * scale())
        << d.window->windowTitle().toStdString();
  }
}

TEST_F(WindowsOnTheDesktop, NoCaptionIsClipped) {
  for (QWidget* window : all()) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
      QString text;
      auto* label = qobject_cast<QLabel*>(control);
      if (label && label->wordWrap()) {
        // A text that wraps keeps its box's width; all its lines must fit the height.
        EXPECT_LE(label->heightForWidth(label->width()), label->height())
            << label->text().toStdString();
        continue;
      }
      if (label)
        text = label->text();
      else if (auto* button = qobject_cast<QAbstractButton*>(control))
        text = button->text();
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
  // The window, shown; or else what opens the modal box, looked at inside its own loop.
  QWidget* (*window)(WindowModel& windows);
  void (*openModal)(WindowModel& windows);
  QWidget* (*owner)(WindowModel& windows);
};

void PrintTo(const TopLevel& kind, std::ostream* out) { *out << kind.name; }

QWidget* mainOf(WindowModel& windows) { return &windows.mainWindow(); }
QWidget* resultsOf(WindowModel& windows) { return &windows.resultsWindow(); }
QWidget* aboutOf(WindowModel& windows) { return &windows.aboutBox(); }

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
  QWidget* owner = kind.owner ? kind.owner(windows) : nullptr;
  QWidget* seen = nullptr;
  const auto check = [&](QWidget* window) {
    if (!(seen = window)) return;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), kind.role);
    EXPECT_FALSE(window->windowTitle().isEmpty());
    EXPECT_EQ(face->text(QAccessible::Name), window->windowTitle());
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(window->windowHandle()->transientParent(), owner ? owner->windowHandle() : nullptr);
  };
  if (kind.window) {
    check(kind.window(windows));
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
    testing::Values(TopLevel{"MainWindow", QAccessible::Window, mainOf, nullptr, nullptr},
                    TopLevel{"ResultsWindow", QAccessible::Dialog, resultsOf, nullptr, mainOf},
                    TopLevel{"AboutBox", QAccessible::Dialog, aboutOf, nullptr, mainOf},
                    TopLevel{"MessageBox", QAccessible::AlertMessage, nullptr, tell, resultsOf},
                    TopLevel{"MessageBoxBeforeActivation", QAccessible::AlertMessage, nullptr,
                             tellBeforeActivation, mainOf},
                    // The averaging dialogs stand alone: the main window hides while they are open.
                    TopLevel{"InputBox", QAccessible::Dialog, nullptr, ask, nullptr}),
    [](const testing::TestParamInfo<TopLevel>& info) { return std::string(info.param.name); });

// The keys that press a focused command button, on each button of the main and the results
// window; the About box is a Qt dialog, whose buttons take Enter from Qt.
struct KeyPress {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};
void PrintTo(const KeyPress& press, std::ostream* out) { *out << press.name; }

class FocusedButtons : public WindowsOnTheDesktop,
                       public testing::WithParamInterface<std::tuple<std::string, KeyPress>> {
 protected:
  QAbstractButton* button(const std::string& name) {
    const pH& main = windows.mainWindow();
    const results::frmPHZ& results = windows.resultsWindow();
    const std::map<std::string, QAbstractButton*> buttons{{"Main_Com1", main.Com1},
                                                          {"Main_End", main.CommandButton1},
                                                          {"Main_About", main.CommandButton2},
                                                          {"Main_SaveView", main.CommandButton3},
                                                          {"Results_Add", results.cmdAdd},
                                                          {"Results_Delete", results.cmdDelete},
                                                          {"Results_Refresh", results.cmdRefresh},
                                                          {"Results_Update", results.cmdUpdate},
                                                          {"Results_Close", results.cmdClose},
                                                          {"Results_Print", results.prn}};
    return buttons.at(name);
  }
};

TEST_P(FocusedButtons, ArePressedByEnter) {
  const auto& [name, press] = GetParam();
  QAbstractButton* pressed = button(name);
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
    testing::Combine(testing::Values("Main_Com1", "Main_End", "Main_About", "Main_SaveView",
                                     "Results_Add", "Results_Delete", "Results_Refresh",
                                     "Results_Update", "Results_Close", "Results_Print"),
                     testing::Values(KeyPress{"Return", Qt::Key_Return, Qt::NoModifier},
                                     KeyPress{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier})),
    [](const testing::TestParamInfo<std::tuple<std::string, KeyPress>>& info) {
      return std::get<0>(info.param) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace sorvane::app
