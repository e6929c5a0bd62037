#include "pH.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <cmath>
#include <vector>

#include "app/ReadingSeries.h"
#include "app/WindowSwitch.h"
#include "numbers/NumberText.h"
#include "numbers/PhAverage.h"
#include "platform/AppInfo.h"
#include "platform/Fonts.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"
#include "widgets/FormsButton.h"
#include "widgets/FormsTextBox.h"
#include "widgets/Handler.h"
#include "widgets/PictureBox.h"
#include "widgets/Twips.h"

namespace sorvane::app {

using numbers::numberToText;
using platform::songFont;
using widgets::FormsButton;
using widgets::twipsRect;

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QColor& color, const QFont& font,
                  QPoint topLeftTwips) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  label->move(twipsRect(topLeftTwips.x(), topLeftTwips.y(), 0, 0).topLeft());
  label->adjustSize();  // sizes itself to its caption
  return label;
}

FormsButton* makeButton(QWidget* parent, const QString& caption, QRect twips, const QFont& font,
                        std::optional<QColor> face, const QColor& captionColor) {
  auto* button = new FormsButton(caption, parent);
  button->setGeometry(twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
  button->setFont(font);
  button->setFace(face);
  button->setCaptionColor(captionColor);
  return button;
}

}  // namespace

struct pH::ResultState {
  QString heading;
  QString result;
  bool l1Shown;
  bool l2Shown;
  bool tx1Shown;
};

pH::pH(platform::Services& services, WindowSwitch& windows, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      services_(services),
      windows_(windows) {
  setWindowTitle(platform::AppInfo::title());
  setWindowIcon(QIcon(QStringLiteral(":/images/floppy.png")));
  setFixedSize(widgets::twipsSize(6060, 3675));
  QPalette windowPalette = palette();
  windowPalette.setColor(QPalette::Window, QColor(192, 192, 0));
  setPalette(windowPalette);
  setAutoFillBackground(true);

  buildPicture();
  buildControls();

  // Names a screen reader speaks; captions and looks stay as they are.
  CommandButton2->setAccessibleName(QStringLiteral("关于"));
  Tx1->setAccessibleName(QStringLiteral("pH 均值"));
  Picture1->setAccessibleName(platform::AppInfo::title().trimmed());

  Picture1->setFocusPolicy(Qt::NoFocus);
  setTabOrder(Com1, Tx1);
  setTabOrder(Tx1, CommandButton1);
  setTabOrder(CommandButton1, CommandButton2);
  setTabOrder(CommandButton2, CommandButton3);

  widgets::connectClick(services_, Com1, this, &pH::Com1_Click);
  widgets::connectClick(services_, CommandButton1, this, &pH::CommandButton1_Click);
  widgets::connectClick(services_, CommandButton2, this, &pH::CommandButton2_Click);
  widgets::connectClick(services_, CommandButton3, this, &pH::CommandButton3_Click);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());

  Form_Load();
}

void pH::buildPicture() {
  Picture1 = new widgets::PictureBox(this);
  Picture1->setGeometry(twipsRect(0, 0, 6015, 3615));
  // Naming the format loads only the GIF reader instead of probing every image plugin.
  Picture1->setPicture(QPixmap(QStringLiteral(":/images/backdrop.gif"), "GIF"));
  // The box is a few pixels wider than the picture; keep that strip as dark as the picture.
  Picture1->setBackground(QColor(12, 18, 52));
}

// The captions, the result box and the buttons, all on the picture.
void pH::buildControls() {
  const QPalette system = palette();
  Com1 = makeButton(Picture1, QStringLiteral("Sorvane"), {1800, 2160, 2055, 615}, songFont(15.75),
                    QColor(255, 224, 192), QColor(255, 0, 0));
  L1 = makeLabel(Picture1, QStringLiteral("欢迎使用本软件"), QColor(255, 0, 0), songFont(26.25),
                 {1080, 360});
  Label2 = makeLabel(Picture1, QStringLiteral("Sorvane软件组 制作  2026年12月"),
                     QColor(192, 192, 0), songFont(9), {480, 3120});

  auto* result = new widgets::FormsTextBox(QString(), Picture1);
  result->setTextColor(QColor(255, 255, 255));
  Tx1 = result;
  Tx1->setGeometry(twipsRect(2280, 1080, 1215, 615));
  // The font first, so the text is laid out once.
  Tx1->setFont(songFont(21.75));
  Tx1->setText(QStringLiteral("8888"));
  Tx1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  L2 = makeLabel(Picture1, QStringLiteral("Label1"), system.color(QPalette::HighlightedText),
                 songFont(21.75), {600, 360});
  CommandButton1 =
      makeButton(Picture1, QStringLiteral("END"), {5400, 3120, 495, 375}, songFont(9),
                 system.color(QPalette::Highlight), system.color(QPalette::HighlightedText));
  CommandButton2 =
      makeButton(Picture1, QString(), {5640, 120, 255, 255}, songFont(9), std::nullopt, Qt::black);
  CommandButton2->setBevel(false);
  CommandButton3 = makeButton(Picture1, QStringLiteral("保存/查看"), {4320, 2160, 1575, 615},
                              songFont(14.25, true), std::nullopt, QColor(255, 255, 255));
}

void pH::Form_Load() {
  Tx1->hide();
  L1->show();
  L2->hide();
}

pH::ResultState pH::saveResultState() const {
  return {L2->text(), Tx1->text(), !L1->isHidden(), !L2->isHidden(), !Tx1->isHidden()};
}

void pH::restoreResultState(const ResultState& state) {
  show();
  L2->setText(state.heading);
  L2->adjustSize();
  Tx1->setText(state.result);
  L1->setVisible(state.l1Shown);
  L2->setVisible(state.l2Shown);
  Tx1->setVisible(state.tx1Shown);
}

std::optional<std::vector<double>> pH::askReadings(double count) {
  ReadingSeries series(services_.meter, *services_.messageBox);
  std::vector<double> readings;
  for (double i = 1; i <= count; ++i) {
    const std::optional<double> reading = askReading(i, count, series);
    if (!reading) return std::nullopt;
    readings.push_back(*reading);
    if (!std::isfinite(*reading)) break;
  }
  return readings;
}

std::optional<double> pH::askReading(double i, double count, ReadingSeries& series) {
  const QString prompt =
      QStringLiteral("请输入第 ") + numberToText(i) + QStringLiteral(" 个 pH 值");
  const QString title = QStringLiteral("  共 ") + numberToText(count) + QStringLiteral(" 个样本");
  for (;;) {
    platform::InputFeed* meterReadings = series.dialogOpened();
    const std::optional<QString> answer =
        services_.inputBox->ask(prompt, title, QString(), meterReadings);
    series.dialogClosed();
    if (!answer) return std::nullopt;
    // A text without a number is no reading; 0 must be typed as 0.
    if (const std::optional<double> reading = numbers::leadingNumber(*answer)) return reading;
  }
}

void pH::Com1_Click() {
  const ResultState before = saveResultState();
  hide();
  Tx1->show();
  L1->hide();
  L2->show();

  const std::optional<QString> countText = services_.inputBox->ask(
      QStringLiteral("请输入样本数 N= "), QStringLiteral("计算 pH 均值"), QString());
  // Only whole samples are counted: 2.5 asks two readings and divides by two.
  const double count = std::floor(numbers::val(countText.value_or(QString())));
  const auto outOfRange = [&] {
    restoreResultState(before);
    services_.messageBox->show(QStringLiteral("输入的 pH 值超出了可以求均值的范围。"));
  };
  // An infinite count would ask for readings without end.
  if (!std::isfinite(count)) return outOfRange();
  if (!(count > 1)) services_.programEnd->end();

  // The series, and with it the meter's port, ends before any message or result shows.
  const std::optional<std::vector<double>> readings = askReadings(count);
  if (!readings) {
    restoreResultState(before);
    return;
  }

  const std::optional<double> mean = numbers::meanPh(*readings);
  if (!mean) return outOfRange();

  show();
  L2->setText(QStringLiteral(" ") + numberToText(count) + QStringLiteral(" 个 pH 值的均值如下："));
  L2->adjustSize();
  Tx1->setText(numberToText(*mean));
}

void pH::CommandButton1_Click() { services_.programEnd->end(); }

void pH::CommandButton2_Click() { windows_.showAboutBox(); }

void pH::CommandButton3_Click() {
  windows_.showResultsWindow();
  hide();
}

void pH::closeEvent(QCloseEvent* event) {
  event->ignore();
  widgets::runHandler(services_, [this] { services_.programEnd->end(); });
}

}  // namespace sorvane::app
