#include "DataNavigator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "platform/MessageBox.h"
#include "platform/PointerRestorer.h"
#include "store/StoreFailures.h"

namespace sorvane::widgets {

using store::Bookmark;
using store::RecordSet;
using store::StoreError;
namespace failures = store::failures;

namespace {

QToolButton* makeButton(const QString& glyph, const QString& name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setText(glyph);
  button->setObjectName(name);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoRaise(false);
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  return button;
}

}  // namespace

DataNavigator::DataNavigator(platform::Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
  setFocusPolicy(Qt::NoFocus);
  first_ = makeButton(QStringLiteral("|◀"), QStringLiteral("first"), this);
  previous_ = makeButton(QStringLiteral("◀"), QStringLiteral("previous"), this);
  caption_ = new QLabel(this);
  caption_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  caption_->setFrameShape(QFrame::StyledPanel);
  caption_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  next_ = makeButton(QStringLiteral("▶"), QStringLiteral("next"), this);
  last_ = makeButton(QStringLiteral("▶|"), QStringLiteral("last"), this);
  // The glyphs mean nothing to a screen reader; these names are what it speaks.
  first_->setAccessibleName(QStringLiteral("第一条记录"));
  previous_->setAccessibleName(QStringLiteral("上一条记录"));
  next_->setAccessibleName(QStringLiteral("下一条记录"));
  last_->setAccessibleName(QStringLiteral("最后一条记录"));

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QWidget* part : {static_cast<QWidget*>(first_), static_cast<QWidget*>(previous_),
                        static_cast<QWidget*>(caption_), static_cast<QWidget*>(next_),
                        static_cast<QWidget*>(last_)})
    layout->addWidget(part);

  // The buttons keep to the ends of the set instead of running past them.
  connect(first_, &QToolButton::clicked, this,
          [this] { navigate(ActionMoveFirst, [](RecordSet& set) { set.moveFirst(); }); });
  connect(previous_, &QToolButton::clicked, this, [this] {
    navigate(ActionMovePrevious, [](RecordSet& set) {
      set.movePrevious();
      if (set.bof()) set.moveFirst();
    });
  });
  connect(next_, &QToolButton::clicked, this, [this] {
    navigate(ActionMoveNext, [](RecordSet& set) {
      set.moveNext();
      if (set.eof()) set.moveLast();
    });
  });
  connect(last_, &QToolButton::clicked, this,
          [this] { navigate(ActionMoveLast, [](RecordSet& set) { set.moveLast(); }); });
}

DataNavigator::~DataNavigator() = default;

void DataNavigator::bind(QLineEdit* box, const QString& fieldName) {
  bindings_.push_back({box, fieldName, box->text()});
}

QString DataNavigator::Caption() const { return caption_->text(); }

void DataNavigator::setCaption(const QString& caption) { caption_->setText(caption); }

QString DataNavigator::errorText(int dataErr) const {
  if (reportedError_ && reportedError_->number() == dataErr) return reportedError_->message();
  return QStringLiteral("数据访问错误 %1").arg(dataErr);
}

void DataNavigator::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The record source opens once, when the form first shows the navigator; later
  // showings find everything as it was left.
  if (!openAttempted_) Refresh();
}

RecordSet& DataNavigator::requireOpen() const {
  if (!recordSet_) throw failures::notOpen();
  return *recordSet_;
}

void DataNavigator::Refresh() {
  openAttempted_ = true;
  std::unique_ptr<RecordSet> reopened;
  try {
    reopened = opener_ ? opener_(databaseName_) : RecordSet::open(databaseName_);
  } catch (const StoreError& error) {
    raiseError(error);
    return;
  }
  if (recordSet_) {
    try {
      recordSet_->close();
    } catch (const StoreError&) {
      // The old set is dropped either way; the new one is already open.
    }
  }
  recordSet_ = std::move(reopened);
  loadBoxes();
  emit Reposition();
}

void DataNavigator::UpdateRecord() {
  RecordSet& set = requireOpen();
  saveBoxes(set);
  loadBoxes();
}

void DataNavigator::raiseError(const StoreError& error) {
  reportedError_ = error;
  int dataErr = error.number();
  int response = 1;  // show the navigator's own message unless a handler says otherwise
  emit Error(dataErr, response);
  if (response != 0 && services_.messageBox) services_.messageBox->show(error.message());
}

bool DataNavigator::boxesChanged() const {
  for (const Binding& binding : bindings_)
    if (binding.box->text() != binding.shown) return true;
  return false;
}

void DataNavigator::saveBoxes(RecordSet& set) {
  // Only the boxes changed since the record became current are written: a box shows a stored
  // value in its own form (a two-digit year, fifteen digits, twelve characters), and writing
  // that back would change a value nobody touched. A new record starts from empty boxes, so
  // whatever was filled in counts as changed; its other fields stay empty.
  const bool adding = set.editMode() == RecordSet::EditMode::Add;
  if (!adding) {
    // A fresh edit, so nothing a refused save left pending is written now.
    set.cancelUpdate();
    set.edit();
  }
  bool changed = false;
  for (const Binding& binding : bindings_) {
    const bool boxChanged = binding.box->text() != binding.shown;
    // A new record takes every box, so one emptied after a refused save stays empty.
    if (boxChanged || adding) set.setFieldText(binding.field, binding.box->text());
    changed = changed || boxChanged;
  }
  if (adding && !changed) {
    set.cancelUpdate();  // an empty new record: nothing to store
    return;
  }
  set.update();
}

void DataNavigator::loadBoxes() {
  const RecordSet* set = recordSet_.get();
  const bool current =
      set && (set->editMode() != RecordSet::EditMode::None || set->absolutePosition() >= 0);
  for (Binding& binding : bindings_) {
    QString text;
    if (current) {
      try {
        text = set->fieldText(binding.field);
      } catch (const StoreError&) {
        // Another program deleted the record under us: there is nothing to show.
      }
    }
    binding.box->setText(text);
    // What the box kept (a stored value may be longer than the box allows) is the baseline,
    // so that loading alone never counts as an edit.
    binding.shown = binding.box->text();
  }
}

void DataNavigator::perform(int action, Save save, bool reposition,
                            const std::function<void(RecordSet&)>& op) {
  RecordSet& set = requireOpen();
  // Whatever shape a Validate handler sets lasts only until the action is over.
  std::optional<platform::PointerRestorer> pointer;
  if (services_.pointer) pointer.emplace(*services_.pointer);

  const bool changed = boxesChanged();
  int validateAction = action;
  int validateSave = changed ? 1 : 0;
  emit Validate(validateAction, validateSave);
  if (validateAction == ActionCancel) return;

  if (save == Save::OnRequest) {
    if (changed && validateSave != 0)
      saveBoxes(set);  // throws before anything moves: record and boxes stay
    else if (set.editMode() != RecordSet::EditMode::None)
      set.cancelUpdate();
  }
  op(set);
  loadBoxes();
  if (reposition) emit Reposition();
}

void DataNavigator::navigate(int action, const std::function<void(RecordSet&)>& op) {
  try {
    perform(action, Save::OnRequest, true, [&op](RecordSet& set) {
      // An empty set has nothing to move to; what was pending is already settled.
      if (set.recordCount() > 0) op(set);
    });
  } catch (const StoreError& error) {
    raiseError(error);
  }
}

// BoundRecordset

void DataNavigator::BoundRecordset::addNew() {
  navigator_.perform(ActionAddNew, Save::OnRequest, true, [](RecordSet& set) { set.addNew(); });
}

void DataNavigator::BoundRecordset::deleteCurrent() {
  // Pending edits die with the record, so they are not saved first. A pending new record is
  // not in the table, and the record set refuses to delete it.
  navigator_.perform(ActionDelete, Save::Never, false, [](RecordSet& set) { set.deleteCurrent(); });
}

void DataNavigator::BoundRecordset::moveFirst() {
  navigator_.perform(ActionMoveFirst, Save::OnRequest, true,
                     [](RecordSet& set) { set.moveFirst(); });
}

void DataNavigator::BoundRecordset::moveLast() {
  navigator_.perform(ActionMoveLast, Save::OnRequest, true, [](RecordSet& set) { set.moveLast(); });
}

void DataNavigator::BoundRecordset::moveNext() {
  navigator_.perform(ActionMoveNext, Save::OnRequest, true, [](RecordSet& set) { set.moveNext(); });
}

void DataNavigator::BoundRecordset::movePrevious() {
  navigator_.perform(ActionMovePrevious, Save::OnRequest, true,
                     [](RecordSet& set) { set.movePrevious(); });
}

void DataNavigator::BoundRecordset::setBookmark(Bookmark bookmark) {
  navigator_.perform(ActionBookmark, Save::OnRequest, true,
                     [bookmark](RecordSet& set) { set.setBookmark(bookmark); });
}

bool DataNavigator::BoundRecordset::bof() const { return navigator_.requireOpen().bof(); }

bool DataNavigator::BoundRecordset::eof() const { return navigator_.requireOpen().eof(); }

long DataNavigator::BoundRecordset::absolutePosition() const {
  return navigator_.requireOpen().absolutePosition();
}

long DataNavigator::BoundRecordset::recordCount() const {
  return navigator_.requireOpen().recordCount();
}

std::optional<Bookmark> DataNavigator::BoundRecordset::bookmark() const {
  return navigator_.requireOpen().bookmark();
}

std::optional<Bookmark> DataNavigator::BoundRecordset::lastModified() const {
  return navigator_.requireOpen().lastModified();
}

RecordSet::EditMode DataNavigator::BoundRecordset::editMode() const {
  return navigator_.requireOpen().editMode();
}

QString DataNavigator::BoundRecordset::fieldText(const QString& name) const {
  return navigator_.requireOpen().fieldText(name);
}

}  // namespace sorvane::widgets
