#include "frmPHZ.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include "numbers/NumberText.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/Pointer.h"
#include "platform/PointerRestorer.h"
#include "results/HistoryWindow.h"
#include "results/OldResultsFile.h"
#include "results/ResultsLocation.h"
#include "results/ResultsReport.h"
#include "store/PhbFields.h"
#include "store/RecordSet.h"
#include "store/ResultsSource.h"
#include "store/StoreError.h"
#include "store/StoreFailures.h"
#include "store/sqlite/DatabasePath.h"
#include "widgets/CharacterLimit.h"
#include "widgets/DataNavigator.h"
#include "widgets/FormsButton.h"
#include "widgets/Handler.h"
#include "widgets/Twips.h"

namespace sorvane::results {

namespace phb = store::phb;
using store::Bookmark;
using store::StoreError;
using widgets::DataNavigator;
using widgets::twipsRect;

frmPHZ::frmPHZ(platform::Services& services, MainWindowLink& mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      services_(services),
      mainWindow_(mainWindow) {
  setWindowTitle(QStringLiteral(" pH平均值结果库"));
  QIcon icon;
  for (const char* size : {"16", "32", "48"})
    icon.addFile(QStringLiteral(":/images/results-%1.png").arg(QLatin1String(size)));
  setWindowIcon(icon);
  setFixedSize(widgets::twipsSize(5520, 1995));

  buildFields();
  buildButtons();
  buildNavigator();
  buildHistoryMenu();

  QWidget* order[] = {txtFields[0], txtFields[1], txtFields[2], txtFields[3], cmdAdd,
                      cmdDelete,    cmdRefresh,   cmdUpdate,    cmdClose,     prn};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
  // Focus goes here when the window first becomes active.
  txtFields[phb::Date]->setFocus();

  // The navigator opens its record source when the window is first shown, after this.
  Form_Load();
}

void frmPHZ::buildFields() {
  const std::array<QString, phb::kFieldCount> captions{
      QStringLiteral("日期:"), QStringLiteral("标识符:"), QStringLiteral("样本数:"),
      QStringLiteral("pH均值:")};
  const std::array<int, phb::kFieldCount> boxWidths{1935, 3375, 1935, 1935};
  for (int i = 0; i < phb::kFieldCount; ++i) {
    lblLabels[i] = new QLabel(captions[i], this);
    lblLabels[i]->setGeometry(twipsRect(120, 60 + 320 * i, 1815, 255));
    txtFields[i] = new QLineEdit(this);
    txtFields[i]->setGeometry(twipsRect(2040, 40 + 320 * i, boxWidths[i], 285));
    // Each box is named by its label for screen readers.
    lblLabels[i]->setBuddy(txtFields[i]);
  }
  widgets::limitCharacters(*txtFields[phb::Identifier], phb::kIdentifierLimit);
}

void frmPHZ::buildButtons() {
  auto makeButton = [this](const QString& caption, int left) {
    auto* button = new QPushButton(caption, this);
    button->setGeometry(twipsRect(left, 1340, 975, 300));
    // Enter presses the button that has the focus, as Space does.
    button->setAutoDefault(true);
    return button;
  };
  cmdAdd = makeButton(QStringLiteral("记录(&A)"), 120);
  cmdDelete = makeButton(QStringLiteral("删除(&D)"), 1200);
  cmdRefresh = makeButton(QStringLiteral("刷新(&R)"), 2280);
  cmdUpdate = makeButton(QStringLiteral("保存(&U)"), 3360);
  cmdClose = makeButton(QStringLiteral("关闭(&C)"), 4440);

  prn = new widgets::FormsButton(QStringLiteral("打印报表"), this);
  prn->setGeometry(twipsRect(4440, 840, 975, 375));
  prn->setFont(platform::songFont(9));
  prn->setFace(std::nullopt);  // the window's own colour shows through

  widgets::connectClick(services_, cmdAdd, this, &frmPHZ::cmdAdd_Click);
  widgets::connectClick(services_, cmdDelete, this, &frmPHZ::cmdDelete_Click);
  widgets::connectClick(services_, cmdRefresh, this, &frmPHZ::cmdRefresh_Click);
  widgets::connectClick(services_, cmdUpdate, this, &frmPHZ::cmdUpdate_Click);
  widgets::connectClick(services_, cmdClose, this, &frmPHZ::cmdClose_Click);
  widgets::connectClick(services_, prn, this, &frmPHZ::prn_Click);
}

void frmPHZ::buildNavigator() {
  Data1 = new DataNavigator(services_, this);
  Data1->setGeometry(twipsRect(0, 1650, 5520, 345));
  Data1->setDatabaseName(store::databasePath(services_.programFolder));
  // sorvane.ini is read at every opening, so 刷新(R) finds a corrected one. With a server
  // named there, phjz.mdb is neither opened nor converted.
  Data1->setOpener([this](const QString& path) {
    const store::ResultsSource source = resultsSource(services_);
    if (source.isServer()) {
      // Reaching a server may take seconds (connect_timeout); the file opens at once.
      const platform::PointerRestorer restore(*services_.pointer, *this);
      services_.pointer->setWindowPointer(*this, platform::PointerShape::Hourglass);
      return store::openRecordSet(source);
    }
    // An Access file older versions left is converted before the navigator opens it.
    bringOldResultsOver(services_, path, this);
    return store::RecordSet::open(path);
  });
  for (int i = 0; i < phb::kFieldCount; ++i) Data1->bind(txtFields[i], phb::fieldNames()[i]);

  connect(Data1, &DataNavigator::Error, this, [this](int& dataErr, int& response) {
    widgets::runHandler(services_, [&] { Data1_Error(dataErr, response); });
  });
  connect(Data1, &DataNavigator::Reposition, this,
          [this] { widgets::runHandler(services_, [this] { Data1_Reposition(); }); });
  connect(Data1, &DataNavigator::Validate, this, [this](int& action, int& save) {
    widgets::runHandler(services_, [&] { Data1_Validate(action, save); });
  });
}

void frmPHZ::buildHistoryMenu() {
  // The history hides in the context menus, so the window's design stays as it is.
  mnuHistory = new QAction(QStringLiteral("查看本记录的修改历史…"), this);
  connect(mnuHistory, &QAction::triggered, this,
          [this] { widgets::runHandler(services_, [this] { mnuHistory_Click(); }); });
  for (QWidget* area : std::initializer_list<QWidget*>{this, Data1, txtFields[0], txtFields[1],
                                                       txtFields[2], txtFields[3]}) {
    area->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(area, &QWidget::customContextMenuRequested, this,
            [this, area](const QPoint& pos) { showContextMenu(area, pos); });
  }
}

frmPHZ::~frmPHZ() = default;

void frmPHZ::reportStoreErrors(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const StoreError& error) {
    services_.messageBox->show(error.message());
  }
}

void frmPHZ::showContextMenu(QWidget* source, const QPoint& pos) {
  std::optional<Bookmark> record;
  try {
    record = Data1->Recordset().bookmark();
  } catch (const StoreError&) {
    // No record set open: there is no record to show the history of.
  }
  mnuHistory->setEnabled(record.has_value());
  auto* box = qobject_cast<QLineEdit*>(source);
  std::unique_ptr<QMenu> menu(box ? box->createStandardContextMenu() : new QMenu(this));
  if (box) menu->addSeparator();
  menu->addAction(mnuHistory);
  menu->exec(source->mapToGlobal(pos));
}

void frmPHZ::closeEvent(QCloseEvent* event) {
  // The window is left through cmdClose only, so that it is hidden, never closed.
  if (closeCommandRemoved_)
    event->ignore();
  else
    QWidget::closeEvent(event);
}

void frmPHZ::Form_Load() {
  // Take the close command away from the title bar; a close request then does nothing.
  setWindowFlag(Qt::WindowCloseButtonHint, false);
  closeCommandRemoved_ = true;
}

void frmPHZ::cmdAdd_Click() {
  reportStoreErrors([this] {
    Data1->Recordset().addNew();
    mean_ = numbers::val(mainWindow_.resultText());
    count_ = numbers::val(mainWindow_.headingText());
    txtFields[phb::Date]->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    txtFields[phb::SampleCount]->setText(numbers::numberToText(count_));
    txtFields[phb::Mean]->setText(numbers::numberToText(mean_));
    services_.messageBox->show(QStringLiteral("请输入标识名称后按保存！"));
  });
}

void frmPHZ::cmdDelete_Click() {
  reportStoreErrors([this] {
    Data1->Recordset().deleteCurrent();
    Data1->Recordset().moveNext();
  });
}

void frmPHZ::cmdRefresh_Click() { Data1->Refresh(); }

void frmPHZ::cmdUpdate_Click() {
  reportStoreErrors([this] {
    Data1->UpdateRecord();
    if (const std::optional<Bookmark> saved = Data1->Recordset().lastModified())
      Data1->Recordset().setBookmark(*saved);
  });
}

void frmPHZ::cmdClose_Click() {
  mainWindow_.showMainWindow();
  hide();
}

void frmPHZ::prn_Click() {
  const platform::PointerRestorer restore(*services_.pointer, *this);
  services_.pointer->setWindowPointer(*this, platform::PointerShape::Hourglass);
  // Lets the hourglass and any pending repaint show before the work starts.
  QCoreApplication::processEvents();
  // The report reads the file on its own; this window's record and unsaved edits stay out.
  ResultsReport(services_).print();
}

void frmPHZ::mnuHistory_Click() {
  reportStoreErrors([this] {
    const std::optional<Bookmark> record = Data1->Recordset().bookmark();
    if (!record) throw store::failures::noCurrentRecord();
    const QString name = QStringLiteral("记录 %1（日期 %2，标识符 %3）")
                             .arg(*record)
                             .arg(Data1->Recordset().fieldText(phb::fieldNames()[phb::Date]),
                                  Data1->Recordset().fieldText(phb::fieldNames()[phb::Identifier]));
    auto* window = new HistoryWindow(services_, name,
                                     store::readHistory(resultsSource(services_), *record), this);
    // Modal to this window, so the record cannot change under the list while it is open.
    window->open();
  });
}

void frmPHZ::Data1_Error(int& dataErr, int& response) {
  services_.messageBox->show(QStringLiteral("数据错误事件命中错误：") + Data1->errorText(dataErr));
  response = 0;
}

void frmPHZ::Data1_Reposition() {
  services_.pointer->setScreenPointer(platform::PointerShape::Default);
  // The caption is only a guide; failing to read the position leaves it as it was.
  try {
    Data1->setCaption(QStringLiteral("记录：") +
                      QString::number(Data1->Recordset().absolutePosition() + 1));
  } catch (const std::exception&) {
  }
}

void frmPHZ::Data1_Validate(int& /*action*/, int& /*save*/) {
  services_.pointer->setScreenPointer(platform::PointerShape::Hourglass);
}

}  // namespace sorvane::results
