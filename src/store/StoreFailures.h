#pragma once

// The store's failures with their numbers and messages, in one place so every part of the
// store words the same fault the same way. The numbers are the old engine's, which the
// results window passes on unchanged.

#include <QDateTime>
#include <QString>
#include <optional>

#include "store/StoreError.h"

namespace sorvane::store::failures {

StoreError fileMissing(const QString& path);
StoreError fileUnreadable(const QString& path);
StoreError notADatabase(const QString& path);
StoreError jetDatabase(const QString& path);
StoreError tableMissing();
StoreError fieldMissing(const QString& field);
StoreError unknownField(const QString& name);
StoreError readOnly(const QString& path);
StoreError locked(const QString& path);
StoreError textTooLong(const QString& field, int limit);
StoreError conversion(const QString& field, const QString& text);
StoreError constraint(const QString& detail);
StoreError noCurrentRecord();
StoreError recordDeleted();
StoreError invalidBookmark();
StoreError notOpen();
StoreError notEditing();
StoreError diskFull(const QString& path);
StoreError ioError(const QString& path);
// Who made the change a save or delete was refused over, from the record's newest history row.
struct LastChange {
  QString login;
  QDateTime at;
};
StoreError changedElsewhere(const std::optional<LastChange>& who = std::nullopt);
StoreError deletedElsewhere(const std::optional<LastChange>& who = std::nullopt);
StoreError writeNotConfirmed(const QString& path);

// The results server, named as `server` (its service, or host and database; never a password).
StoreError badSettings(const QString& file, const QString& problem);
StoreError serverUnreachable(const QString& server, const QString& why);
StoreError connectionLost(const QString& server);
StoreError outcomeUnknown(const QString& server);
StoreError serverNotInstalled(const QString& server);
StoreError unknownServerFormat(const QString& server, int version);
StoreError noAccess(const QString& login, const QString& server);
StoreError serverReadOnly(const QString& login, const QString& server);

// Converting an Access file: the reader's own message (a bad file, a record that cannot
// be carried over), a value the new file's table refused (`detail`: the store's error,
// which names the field), and the ways writing the new file can fail.
StoreError notConverted(const QString& message, int number);
StoreError conversionRefusedValue(const QString& path, qint64 record,
                                  const std::optional<QString>& identifier, const QString& detail);
StoreError conversionCannotWrite(const QString& path, const QString& folder, const QString& why);
StoreError conversionTargetExists(const QString& path);
StoreError notAJetFile(const QString& path);

// Moving a results file onto the server: nothing was moved and the server is as it was.
StoreError moveRefusedRecord(const QString& path, qint64 position,
                             const std::optional<QString>& identifier, const QString& why);
StoreError moveRefusedHistory(const QString& path, qint64 id, const QString& why);
StoreError moveNewerFormat(const QString& path, int format);
StoreError moveServerNotEmpty(const QString& server);
StoreError moveNotOwner(const QString& login, const QString& server);

}  // namespace sorvane::store::failures
