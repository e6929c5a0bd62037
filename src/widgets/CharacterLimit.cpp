#include "CharacterLimit.h"

#include <QLineEdit>
#include <QValidator>
#include <algorithm>

namespace sorvane::widgets {

namespace {

bool pairAt(const QString& text, qsizetype at) {
  return at >= 0 && at + 1 < text.size() && text[at].isHighSurrogate() &&
         text[at + 1].isLowSurrogate();
}

qsizetype characterCount(const QString& text) {
  qsizetype count = 0;
  for (qsizetype i = 0; i < text.size(); i += pairAt(text, i) ? 2 : 1) ++count;
  return count;
}

// The box runs every change through its validator, a set text included, with the cursor
// just after what was put in (at the end for a set text), and takes the text as trimmed here.
class CharacterLimit final : public QValidator {
 public:
  CharacterLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

  State validate(QString& text, int& pos) const override {
    qsizetype excess = characterCount(text) - limit_;
    if (excess <= 0) return Acceptable;
    qsizetype end = std::clamp<qsizetype>(pos, 0, text.size());
    if (pairAt(text, end - 1)) ++end;  // a cursor inside a pair stands after it
    qsizetype start = end;
    for (; excess > 0 && start > 0; --excess) start -= pairAt(text, start - 2) ? 2 : 1;
    text.remove(start, end - start);
    pos = static_cast<int>(start);
    // Only a text that was already too long before the cursor leaves some over: keep its start.
    for (qsizetype i = 0, kept = 0; i < text.size(); i += pairAt(text, i) ? 2 : 1) {
      if (kept++ == limit_) {
        text.truncate(i);
        pos = std::min(pos, static_cast<int>(i));
        break;
      }
    }
    return Acceptable;
  }

 private:
  int limit_;
};

}  // namespace

void limitCharacters(QLineEdit& box, int limit) {
  box.setValidator(new CharacterLimit(limit, &box));
}

}  // namespace sorvane::widgets
