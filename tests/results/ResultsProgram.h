#pragma once

// The results window of one running program, on the phjz.mdb in a given folder, shown and
// driven as a user would.

#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QToolButton>
#include <memory>

#include "FakeMainWindow.h"
#include "fakes/FakePlatform.h"
#include "results/frmPHZ.h"
#include "widgets/DataNavigator.h"

namespace sorvane::results {

struct ResultsProgram {
  explicit ResultsProgram(const QString& folder) {
    fake.services.programFolder = folder;
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
  const QStringList& messages() const { return fake.messageBox.messages; }

  fakes::FakePlatform fake;
  FakeMainWindow main;
  std::unique_ptr<frmPHZ> window;
};

}  // namespace sorvane::results
