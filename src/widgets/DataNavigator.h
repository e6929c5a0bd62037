#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Services.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace sorvane::widgets {

// What a navigator is about to do, as the Validate event reports it; the numbers are the
// ones forms written for the old data control compare against.
enum DataAction : int {
  ActionCancel = 0,
  ActionMoveFirst = 1,
  ActionMovePrevious = 2,
  ActionMoveNext = 3,
  ActionMoveLast = 4,
  ActionAddNew = 5,
  ActionUpdate = 6,
  ActionDelete = 7,
  ActionFind = 8,
  ActionBookmark = 9,
  ActionClose = 10,
  ActionUnload = 11,
};

// A record navigator: first, previous, next and last buttons with a caption between them,
// bound to a record set and to a list of text boxes that show and edit its current record.
//
// Each action (a button, or a change of record through Recordset()) raises Validate first;
// when Save comes back non-zero and a bound box was changed, the changed boxes are saved
// before the action goes ahead, and Action 0 cancels it. Reposition follows once a record is
// current. Typed text reaches the record only when it is saved. Failures of the navigator's own
// work (opening, moving by its buttons, saving on such a move) go to Error; unless the handler sets
// Response to 0 the navigator shows the error's message itself. Whatever pointer shape a Validate
// handler sets lasts only until its action is over.
class DataNavigator : public QWidget {
  Q_OBJECT

 public:
  // The navigator's record set as a form uses it. Changes of record go through the
  // navigator, so the bound boxes follow and the events are raised; every failure throws
  // StoreError to the caller, and a failed call leaves record, boxes and file as they were.
  class BoundRecordset {
   public:
    explicit BoundRecordset(DataNavigator& navigator) : navigator_(navigator) {}

    void addNew();
    // Deletes the current record without saving pending edits; none is current until the
    // next move, and no Reposition is raised.
    void deleteCurrent();
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    void setBookmark(store::Bookmark bookmark);

    bool bof() const;
    bool eof() const;
    long absolutePosition() const;
    long recordCount() const;
    std::optional<store::Bookmark> bookmark() const;
    std::optional<store::Bookmark> lastModified() const;
    store::RecordSet::EditMode editMode() const;
    QString fieldText(const QString& name) const;

   private:
    DataNavigator& navigator_;
  };

  explicit DataNavigator(platform::Services& services, QWidget* parent = nullptr);
  ~DataNavigator() override;

  // The file whose table the navigator edits; it is opened when the navigator is first
  // shown, or by Refresh.
  void setDatabaseName(const QString& path) { databaseName_ = path; }
  const QString& databaseName() const { return databaseName_; }

  // How the record set is opened from the database name; RecordSet::open unless the form
  // does some work first. Its StoreError goes to Error like any failed opening.
  using Opener = std::function<std::unique_ptr<store::RecordSet>(const QString& path)>;
  void setOpener(Opener opener) { opener_ = std::move(opener); }

  // Shows field `fieldName` of the current record in `box` and saves the box's text there.
  void bind(QLineEdit* box, const QString& fieldName);

  bool isOpen() const { return recordSet_ != nullptr; }
  BoundRecordset& Recordset() { return boundRecordset_; }

  // Opens the file again and makes the first record current. Pending edits are dropped; a
  // failure goes to Error and leaves the record set that was open, if any, in place.
  void Refresh();
  // Saves the bound boxes into the current record (a new one included) without raising
  // Validate. Only boxes changed since the record became current are written; with none
  // changed nothing is written (a new record is then dropped) and the call succeeds. Throws
  // StoreError, Conflict when another program changed or deleted the record since it was
  // shown; on failure the record stays pending and the boxes keep their text.
  void UpdateRecord();

  QString Caption() const;
  void setCaption(const QString& caption);

  // The message of the error an Error event is reporting (its number is DataErr).
  QString errorText(int dataErr) const;

 signals:
  void Validate(int& action, int& save);
  void Reposition();
  void Error(int& dataErr, int& response);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Binding {
    QLineEdit* box;
    QString field;
    QString shown;  // the text last loaded, to tell whether the user changed it
  };
  enum class Save { OnRequest, Never };

  store::RecordSet& requireOpen() const;
  // Validate, the optional save, the change of record, the boxes and Reposition.
  void perform(int action, Save save, bool reposition,
               const std::function<void(store::RecordSet&)>& op);
  // A button's move: failures go to Error instead of the caller.
  void navigate(int action, const std::function<void(store::RecordSet&)>& op);
  void raiseError(const store::StoreError& error);
  bool boxesChanged() const;
  void saveBoxes(store::RecordSet& recordSet);
  void loadBoxes();

  platform::Services& services_;
  QString databaseName_;
  Opener opener_;
  std::unique_ptr<store::RecordSet> recordSet_;
  BoundRecordset boundRecordset_{*this};
  std::vector<Binding> bindings_;
  bool openAttempted_ = false;
  std::optional<store::StoreError> reportedError_;

  QToolButton* first_;
  QToolButton* previous_;
  QLabel* caption_;
  QToolButton* next_;
  QToolButton* last_;
};

}  // namespace sorvane::widgets
