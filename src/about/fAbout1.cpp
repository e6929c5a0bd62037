#include "fAbout1.h"

#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "about/StartSysInfo.h"
#include "platform/AppInfo.h"
#include "widgets/Handler.h"
#include "widgets/Line.h"
#include "widgets/Twips.h"

namespace sorvane::about {

using widgets::twipsRect;

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, QRect twips, bool blackText, bool wraps) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(wraps);
  if (blackText) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
  }
  return label;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, QRect twips) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
  return button;
}

}  // namespace

fAbout1::fAbout1(platform::Services& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      services_(services) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setSizeGripEnabled(false);
  setWindowTitle(QStringLiteral("关于我的应用程序"));
  setWindowIcon(QIcon(QStringLiteral(":/images/about.png")));

  // The design position is from the screen's corner, not centred on anything.
  QPoint screenCorner;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    screenCorner = screen->geometry().topLeft();
  const QSize clientSize = widgets::twipsSize(5730, 3555);
  setGeometry(QRect(screenCorner + twipsRect(2340, 1935, 0, 0).topLeft(), clientSize));
  setFixedSize(clientSize);

  cmdOK = makeButton(this, QStringLiteral("确定"), {4125, 2625, 1500, 345});
  cmdSysInfo = makeButton(this, QStringLiteral("系统信息(&S)..."), {4140, 3075, 1485, 345});
  // The method itself, not a source, so that a laboratory can check it. Two lines: a third
  // line of Chinese in the dialog font would overflow the box.
  lblDescription =
      makeLabel(this,
                QStringLiteral("    本程序将各 pH 值换算为氢离子浓度，取其平均值，再换算回 pH 值"
                               "并截取两位小数。"),
                {960, 1320, 3885, 690}, true, true);
  lblDisclaimer = makeLabel(this, QStringLiteral("警告：结果仅供参考。Sorvane软件组制作"),
                            {255, 2880, 3510, 345}, true, true);
  lblTitle = makeLabel(this, QStringLiteral("应用程序标题"), {1680, 240, 1080, 180}, true, false);
  lblVersion = makeLabel(this, QStringLiteral("V 1.50"), {2520, 780, 540, 180}, false, false);
  Label1 = makeLabel(this, QStringLiteral("Sorvane软件组"), {3360, 2040, 1335, 255}, false, true);
  // An engraved rule: a grey line with a white one just below it.
  Line1[1] = new widgets::Line(this, 90, 5654, 2445, QColor(128, 128, 128), 1);
  Line1[0] = new widgets::Line(this, 105, 5654, 2460, Qt::white, 2);

  cmdOK->setDefault(true);
  setTabOrder(cmdOK, cmdSysInfo);
  cmdOK->setFocus();

  widgets::connectClick(services_, cmdOK, this, &fAbout1::cmdOK_Click);
  widgets::connectClick(services_, cmdSysInfo, this, &fAbout1::cmdSysInfo_Click);

  Form_Load();
}

QString fAbout1::versionText(int major, int minor, int revision) {
  return QStringLiteral("版本 %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void fAbout1::Form_Load() {
  using platform::AppInfo;
  setWindowTitle(QStringLiteral("关于 ") + AppInfo::title());
  lblVersion->setText(
      versionText(AppInfo::versionMajor, AppInfo::versionMinor, AppInfo::versionRevision));
  lblTitle->setText(AppInfo::title());
  // These two grow to the right from their left edge to fit their text.
  lblVersion->adjustSize();
  lblTitle->adjustSize();
}

void fAbout1::cmdOK_Click() { close(); }

void fAbout1::cmdSysInfo_Click() { StartSysInfo(services_); }

void fAbout1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    cmdOK->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace sorvane::about
