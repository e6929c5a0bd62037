#pragma once

// The results window of one running program on the phjz.mdb in a given folder, shown beside
// a stand-in for the main window, and driven as a user would.

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QToolButton>
#include <functional>
#include <memory>

#include "fakes/FakePlatform.h"
#include "results/MainWindowLink.h"
#include "results/frmPHZ.h"
#include "widgets/DataNavigator.h"
#include "widgets/FormsButton.h"

namespace sorvane::results {

class FakeMainWindow final : public MainWindowLink {
 public:
  QString resultText() const override { return QStringLiteral("8888"); }
  QString headingText() const override { return QStringLiteral("Label1"); }
  void showMainWindow() override {
    if (onShow) onShow();
  }
  std::function<void()> onShow;
};

struct ResultsProgram {
  // `prepare` readies the fakes before the window opens its results.
  explicit ResultsProgram(const QString& folder,
                          const std::function<void(fakes::FakePlatform&)>& prepare = {}) {
    fake.services.programFolder = folder;
    if (prepare) prepare(fake);
    window = std::make_unique<frmPHZ>(fake.services, main);
    window->show();
  }
  void type(int field, const QString& text) { window->txtFields[field]->setText(text); }
  void save() { window->cmdUpdate->click(); }
  void erase() { window->cmdDelete->click(); }
  void next() { window->Data1->findChild<QToolButton*>(QStringLiteral("next"))->click(); }
  QStringList boxes() const {
    QStringList texts;
    for (const QLineEdit* box : window->txtFields) texts << box->text();
    return texts;
  }
  QStringList& messages() { return fake.messageBox.messages; }

  fakes::FakePlatform fake;
  FakeMainWindow main;
  std::unique_ptr<frmPHZ> window;
};

}  // namespace sorvane::results
