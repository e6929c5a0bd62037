#pragma once

// Temporary copies of the empty results database the build makes, and records put into them.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <vector>

#include "store/PhbFields.h"
#include "store/RecordSet.h"
#include "store/sqlite/DatabasePath.h"
#include "store/sqlite/SqliteConnection.h"
#include "store/sqlite/SqliteStatement.h"

namespace sorvane::store::testfiles {

// A fresh phjz.mdb in a folder of its own, removed with the object.
class TempDatabase {
 public:
  TempDatabase() {
    EXPECT_TRUE(QFile::copy(QStringLiteral(SORVANE_DATABASE_TEMPLATE), path()))
        << "no template database at " << SORVANE_DATABASE_TEMPLATE;
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
  QString path() const { return databasePath(dir_.path()); }
  QString folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

// A format 1 file as far as row ids go: no phb_last_id, no format number. (Its history
// table stays, as a format 1 file has it after its first change.)
inline void makeEarlierBuildsFile(const QString& path) {
  SqliteConnection(path, SqliteConnection::Access::ReadWrite)
      .exec(
          "DROP TRIGGER phb_fresh_id; DROP TRIGGER phb_id_freed; DROP TRIGGER phb_id_moved;"
          "DROP TABLE phb_last_id; PRAGMA user_version = 0");
}

inline QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

// One record's field texts, as typed into the bound boxes.
struct Record {
  QString date = QStringLiteral("2024-05-01");
  QString identifier;
  QString count = QStringLiteral("5");
  QString mean = QStringLiteral("7.2");
};

// The old engine's error number `action` throws, 0 when it succeeds.
inline int errorNumber(const std::function<void()>& action) try {
  action();
  return 0;
} catch (const StoreError& e) {
  return e.number();
}

// Appends the records in order through `set` and gives back their bookmarks.
inline std::vector<Bookmark> seedRecords(RecordSet& set, const std::vector<Record>& records) {
  std::vector<Bookmark> bookmarks;
  for (const Record& record : records) {
    set.addNew();
    const QString texts[] = {record.date, record.identifier, record.count, record.mean};
    for (int i = 0; i < phb::kFieldCount; ++i) set.setFieldText(phb::fieldNames()[i], texts[i]);
    set.update();
    bookmarks.push_back(*set.lastModified());
  }
  return bookmarks;
}

inline std::vector<Bookmark> seedRecords(const QString& path, const std::vector<Record>& records) {
  return seedRecords(*RecordSet::open(path), records);
}

// The stored values of one field, in table order, as a fresh reader sees them.
inline QStringList storedTexts(const QString& path, const QString& field) {
  QStringList texts;
  const std::unique_ptr<RecordSet> set = RecordSet::open(path);
  for (; set->recordCount() > 0 && !set->eof(); set->moveNext())
    texts.append(set->fieldText(field));
  return texts;
}

// The file's schema and format number, blanks folded, so two files can be set side by side.
inline QStringList schema(const QString& path) {
  SqliteConnection db(path, SqliteConnection::Access::ReadOnly);
  SqliteStatement format(db, "PRAGMA user_version");
  format.step();
  QStringList entries{QStringLiteral("format %1").arg(format.columnInt64(0))};
  SqliteStatement query(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name");
  while (query.step())
    entries << QStringList{query.columnText(0), query.columnText(1), query.columnText(2),
                           query.columnText(3).simplified()}
                   .join(u'|');
  return entries;
}

// Runs `work` in a child process that is to die by SIGKILL, raised by `work` itself or sent
// after `killAfterMs`; true when it did.
inline bool diesKilled(const std::function<void()>& work, int killAfterMs = -1) {
  const pid_t child = fork();
  if (child == 0) {
    try {
      work();
    } catch (...) {
    }
    _exit(1);
  }
  if (killAfterMs >= 0) {
    QThread::msleep(killAfterMs);
    kill(child, SIGKILL);
  }
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace sorvane::store::testfiles
