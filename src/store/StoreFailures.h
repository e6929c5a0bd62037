#pragma once

// The store's failures with their numbers and messages, in one place so every part of the
// store words the same fault the same way. The numbers are the old engine's, which the
// results window passes on unchanged.

#include <QString>

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
StoreError changedElsewhere();
StoreError deletedElsewhere();
StoreError writeNotConfirmed(const QString& path);

}  // namespace sorvane::store::failures
