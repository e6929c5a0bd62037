#include "store/KeyedRecordSet.h"

#include <algorithm>

#include "store/FieldText.h"
#include "store/StoreFailures.h"

namespace sorvane::store {

using phb::kFieldCount;

// ---- the keyset ------------------------------------------------------------------------

void Keyset::appendRun(Bookmark first, long count) {
  if (count <= 0) return;
  if (!runs_.empty() && runs_.back().first + runs_.back().count == first)
    runs_.back().count += count;
  else
    runs_.push_back({first, count, size()});
}

Bookmark Keyset::at(long position) const {
  const auto run = std::upper_bound(runs_.begin(), runs_.end(), position,
                                    [](long p, const Run& r) { return p < r.start; }) -
                   1;
  return run->first + (position - run->start);
}

std::optional<long> Keyset::find(Bookmark id) const {
  const auto after = std::upper_bound(runs_.begin(), runs_.end(), id,
                                      [](Bookmark i, const Run& r) { return i < r.first; });
  if (after == runs_.begin()) return std::nullopt;
  const Run& run = *(after - 1);
  if (id >= run.first + run.count) return std::nullopt;
  return run.start + (id - run.first);
}

void Keyset::renumberFrom(std::size_t run) {
  for (; run < runs_.size(); ++run)
    runs_[run].start = run == 0 ? 0 : runs_[run - 1].start + runs_[run - 1].count;
}

long Keyset::insert(Bookmark id) {
  auto after = std::upper_bound(runs_.begin(), runs_.end(), id,
                                [](Bookmark i, const Run& r) { return i < r.first; });
  std::size_t index = after - runs_.begin();
  if (after != runs_.begin()) {
    Run& before = *(after - 1);
    if (id < before.first + before.count) return before.start + (id - before.first);  // there
    if (id == before.first + before.count) {
      ++before.count;
      // The run may now reach the next one.
      if (after != runs_.end() && after->first == id + 1) {
        before.count += after->count;
        runs_.erase(after);
      }
      renumberFrom(index - 1);
      return before.start + (id - before.first);
    }
  }
  if (after != runs_.end() && after->first == id + 1) {
    --after->first;
    ++after->count;
  } else {
    runs_.insert(runs_.begin() + index, Run{id, 1, 0});
  }
  renumberFrom(index);
  return runs_[index].start;
}

void Keyset::erase(long position) {
  auto run = std::upper_bound(runs_.begin(), runs_.end(), position,
                              [](long p, const Run& r) { return p < r.start; }) -
             1;
  const std::size_t index = run - runs_.begin();
  const long offset = position - run->start;
  if (run->count == 1) {
    runs_.erase(run);
  } else if (offset == 0) {
    ++run->first;
    --run->count;
  } else if (offset == run->count - 1) {
    --run->count;
  } else {  // split in two around the id
    const Run tail{run->first + offset + 1, run->count - offset - 1, 0};
    run->count = offset;
    runs_.insert(run + 1, tail);
  }
  renumberFrom(index);
}

// ---- the record set --------------------------------------------------------------------

void KeyedRecordSet::close() {
  closeBackend();
  keys_.clear();
  pos_ = -1;
  deleted_ = false;
  cancelUpdate();
  lastModified_.reset();
  forgetRead();
}

void KeyedRecordSet::requireOpen() const {
  if (!backendOpen()) throw failures::notOpen();
}

// As with the old engine, an empty set is both before its start and past its end, and a
// deleted current record leaves neither set until the next move.
bool KeyedRecordSet::bof() const {
  requireOpen();
  return !deleted_ && (pos_ < 0 || count() == 0);
}

bool KeyedRecordSet::eof() const {
  requireOpen();
  return !deleted_ && (pos_ >= count() || count() == 0);
}

void KeyedRecordSet::moveNext() {
  requireOpen();
  if (eof()) throw failures::noCurrentRecord();
  cancelUpdate();
  // After a delete the slot already holds the record that followed.
  if (!deleted_) ++pos_;
  deleted_ = false;
  forgetRead();
}

void KeyedRecordSet::movePrevious() {
  requireOpen();
  if (bof()) throw failures::noCurrentRecord();
  cancelUpdate();
  --pos_;
  deleted_ = false;
  forgetRead();
}

void KeyedRecordSet::moveTo(long position) {
  requireOpen();
  if (count() == 0) throw failures::noCurrentRecord();
  cancelUpdate();
  pos_ = position;
  deleted_ = false;
  forgetRead();
}

long KeyedRecordSet::absolutePosition() const {
  requireOpen();
  return current() ? pos_ : -1;
}

long KeyedRecordSet::recordCount() const {
  requireOpen();
  return count();
}

std::optional<Bookmark> KeyedRecordSet::bookmark() const {
  requireOpen();
  return current();
}

void KeyedRecordSet::setBookmark(Bookmark bookmark) {
  requireOpen();
  const std::optional<long> position = keys_.find(bookmark);
  if (!position) throw failures::invalidBookmark();
  cancelUpdate();
  pos_ = *position;
  deleted_ = false;
  forgetRead();
}

std::optional<Bookmark> KeyedRecordSet::lastModified() const {
  requireOpen();
  return lastModified_;
}

namespace {

int indexOf(const QString& name) {
  const int index = phb::fieldIndex(name);
  if (index < 0) throw failures::unknownField(name);
  return index;
}

}  // namespace

QVariant KeyedRecordSet::field(const QString& name) const {
  requireOpen();
  const int index = indexOf(name);
  if (mode_ != EditMode::None && pending_[index]) return *pending_[index];
  if (mode_ == EditMode::Add) return {};
  return readOf(requireCurrent()).values[index];
}

QString KeyedRecordSet::fieldText(const QString& name) const {
  requireOpen();
  const int index = indexOf(name);
  if (mode_ != EditMode::None && pending_[index]) return *pending_[index];
  if (mode_ == EditMode::Add) return {};
  return fieldtext::textFromValue(readOf(requireCurrent()).values[index]);
}

void KeyedRecordSet::addNew() {
  requireOpen();
  cancelUpdate();
  mode_ = EditMode::Add;
}

void KeyedRecordSet::edit() {
  requireOpen();
  const Bookmark row = requireCurrent();
  readOf(row);  // what the save will check the stored row against, unless read already
  cancelUpdate();
  mode_ = EditMode::Edit;
  editing_ = row;
}

void KeyedRecordSet::setFieldText(const QString& name, const QString& text) {
  requireOpen();
  const int index = indexOf(name);
  if (mode_ == EditMode::None) throw failures::notEditing();
  pending_[index] = text;
}

void KeyedRecordSet::update() {
  requireOpen();
  if (mode_ == EditMode::None) throw failures::notEditing();

  // Every text is converted before anything is written, so a refused one changes nothing.
  // Only the fields given a text are written; a new record's others stay empty.
  Changes values;
  for (int i = 0; i < kFieldCount; ++i)
    if (pending_[i]) values[i] = fieldtext::valueFromText(i, *pending_[i]);

  Bookmark saved = editing_;
  std::optional<Read> written;
  if (mode_ == EditMode::Add) {
    if (readOnly_) throw readOnlyError();
    saved = insertRow(values);
    // Ids only grow, so a new record goes at the end; the keyset keeps the order should
    // the table ever hand out a smaller one.
    if (keys_.insert(saved) <= pos_) ++pos_;
  } else if (std::any_of(values.begin(), values.end(),
                         [](const auto& v) { return v.has_value(); })) {
    if (readOnly_) throw readOnlyError();
    const Read& original = readOf(editing_);
    changeRow(original, values);
    if (storesValuesExactly()) {
      written = original;
      for (int i = 0; i < kFieldCount; ++i)
        if (values[i]) written->stored[i] = written->values[i] = *values[i];
    }
  }
  // An edit with nothing to write succeeds as it is: the record stands as stored.
  read_ = written;
  lastModified_ = saved;
  cancelUpdate();
}

void KeyedRecordSet::cancelUpdate() {
  mode_ = EditMode::None;
  pending_ = {};
  editing_ = 0;
}

void KeyedRecordSet::deleteCurrent() {
  requireOpen();
  if (mode_ == EditMode::Add) throw failures::noCurrentRecord();  // the new one is not stored
  const Bookmark row = requireCurrent();
  if (readOnly_) throw readOnlyError();
  deleteRow(readOf(row));
  keys_.erase(pos_);
  deleted_ = true;
  forgetRead();
  if (lastModified_ == row) lastModified_.reset();
  cancelUpdate();
}

// The stored record that is current; none while a new one is pending.
std::optional<Bookmark> KeyedRecordSet::current() const {
  if (deleted_ || mode_ == EditMode::Add || pos_ < 0 || pos_ >= count()) return std::nullopt;
  return keys_.at(pos_);
}

Bookmark KeyedRecordSet::requireCurrent() const {
  if (const auto row = current()) return *row;
  throw deleted_ ? failures::recordDeleted() : failures::noCurrentRecord();
}

const KeyedRecordSet::Read& KeyedRecordSet::readOf(Bookmark row) const {
  if (!read_ || read_->row != row) read_ = fetch(row);
  // Deleted by another program since the keyset was read.
  if (!read_->found) throw failures::deletedElsewhere();
  return *read_;
}

}  // namespace sorvane::store
